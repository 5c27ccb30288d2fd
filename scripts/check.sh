#!/usr/bin/env bash
# The rules the compiler does not check (the platform boundary, the Qt-free
# libraries, the layout), in a few seconds; test.sh runs this before it builds
# anything. Tests, benchmarks and fuzz targets are aside from the first two.
#   1. The system is called from platform/ only: every other file includes only
#      what it is allowed to (an allow list, so that no spelling of a system
#      header slips through): the C++ standard library's headers, less those
#      that reach the operating system (signals, the C locale, the C clock,
#      non-local jumps), the project's own headers by their path from the top,
#      and Qt where rule 2 lets it.
#   2. Qt only where it belongs: the Qt half of the platform (platform/qt/) and of
#      the widgets (widgets/qt/), the serial library's event glue (SerPort.cpp,
#      SerWin32.cpp), the port's form and component (serial/form/,
#      serial/component/), and the windows and the programs (the sources of the
#      CMake targets below, with their headers). Everything else, platform's core,
#      datafile/, datamodel/, widgets/ and the collector's and simulator's core
#      libraries among it, is Qt-free by design.
#   3. The layout is what clang-format gives (.clang-format at the top).
#
#   check.sh [TREE]   checks TREE (default: this repository)
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd -P)
cd "$root"

# The C++ standard library's headers that code outside platform/ may include.
# Left out as reaching the operating system: csignal, clocale, locale, ctime,
# csetjmp (and every C header of the form <name.h>).
std_headers="algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv
  cfloat charconv chrono cinttypes climits cmath codecvt compare complex concepts
  condition_variable coroutine cstdarg cstddef cstdint cstdio cstdlib cstring cuchar
  cwchar cwctype deque exception execution filesystem format forward_list fstream
  functional future initializer_list iomanip ios iosfwd iostream istream iterator
  latch limits list map memory memory_resource mutex new numbers numeric optional
  ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
  source_location span sstream stack stdexcept stop_token streambuf string
  string_view syncstream system_error thread tuple type_traits typeindex typeinfo
  unordered_map unordered_set utility valarray variant vector version"

qt_places=(platform/qt/ widgets/qt/ serial/SerPort.cpp serial/SerWin32.cpp serial/form/
           serial/component/)
qt_targets=("collector collector_desktop collector_window gasbridge"
            "simulator simulator_window gasmimic")

# The project's C++ files, committed or new (build trees and ignored files aside).
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
  mapfile -t all < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | sort -u)
else
  mapfile -t all < <(find . -path './build*' -prune -o -path './.*' -prune -o \
                       \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | sort)
fi
mapfile -t all < <(for f in "${all[@]}"; do [ -e "$f" ] && echo "$f"; done)  # not deleted
mapfile -t code < <(printf '%s\n' "${all[@]}" | grep -vE '(^|/)(tests|bench|fuzz)/')

# The sources a CMake target names in its add_library or add_executable, and the
# headers of the same names.
target_files() {
  local folder=$1 target
  shift
  [ -f "$folder/CMakeLists.txt" ] || return 0
  for target; do
    awk -v t="$target" '
      $0 ~ "^add_(library|executable)\\(" t "([ )]|$)" { on = 1; sub(/^[^(]*\(/, "") }
      on { for (i = 1; i <= NF; i++) if ($i ~ /\.cpp\)?$/) { f = $i; sub(/\)$/, "", f); print f } }
      on && /\)/ { on = 0 }' "$folder/CMakeLists.txt"
  done | while read -r f; do echo "$folder/$f"; echo "$folder/${f%.cpp}.h"; done
}
qt_allowed=("${qt_places[@]}")
for entry in "${qt_targets[@]}"; do
  # shellcheck disable=SC2086
  mapfile -t -O "${#qt_allowed[@]}" qt_allowed < <(target_files $entry)
done

failed=0
fail() {
  echo "check: $1" >&2
  sed 's/^/  /' >&2
  failed=1
}

# 1. Outside platform/, anything but the standard library, the project's own
# headers and Qt (whose places rule 2 checks).
qt_header='^<(Qt[A-Za-z]*/)?(Q[A-Za-z0-9_]*|q[a-z0-9_]*\.h)>$'
found=$(printf '%s\n' "${code[@]}" | grep -v '^platform/' |
  xargs -r grep -nE '^\s*#\s*include' |
  awk -v std="$std_headers" -v qt="$qt_header" '
    FNR == NR { allowed["\"" $0 "\""] = 1; next }
    FNR == 1 { n = split(std, names, /[ \n]+/); for (i = 1; i <= n; i++) allowed["<" names[i] ">"] = 1 }
    {
      line = $0
      sub(/^[^:]*:[0-9]+:/, "", line)
      header = ""
      if (match(line, /#[ \t]*include[ \t]*(<[^>]*>|"[^"]*")/)) {
        header = substr(line, RSTART, RLENGTH)
        sub(/^#[ \t]*include[ \t]*/, "", header)
      }
      if (header in allowed || header ~ qt) next
      print
    }' <(printf '%s\n' "${all[@]}") - || true)
[ -z "$found" ] || fail "outside platform/ only the standard library (less what reaches the system) and the project's own headers (give platform/ the operation):" <<<"$found"

# 2. Qt outside its places.
qt_include='^\s*#\s*include\s*(<Q|<Qt|<(Qt[A-Za-z]*/)?q[a-z0-9_]*\.h>|"platform/qt/|"widgets/qt/|"serial/form/|"serial/component/)'
qt_free=()
for f in "${code[@]}"; do
  allowed=0
  for place in "${qt_allowed[@]}"; do
    if [[ $place == */ && $f == "$place"* ]] || [[ $f == "$place" ]]; then allowed=1; break; fi
  done
  ((allowed)) || qt_free+=("$f")
done
found=$(printf '%s\n' "${qt_free[@]}" | xargs -r grep -nE "$qt_include" || true)
places="${qt_places[*]} and the targets"
for entry in "${qt_targets[@]}"; do places+=" ${entry#* } of ${entry%% *}/"; done
[ -z "$found" ] || fail "Qt in a Qt-free library (Qt belongs in $places):" <<<"$found"

# 3. The layout.
if ! command -v clang-format >/dev/null; then
  echo "check: clang-format is missing (scripts/setup.sh installs it)" >&2
  failed=1
elif ! out=$(clang-format --dry-run -Werror "${all[@]}" 2>&1); then
  fail "clang-format would change these files' layout (run clang-format -i on them):" \
    < <(grep -oE '^[^: ]+\.(cpp|h):[0-9]+' <<<"$out" | cut -d: -f1 | sort -u)
fi

exit "$failed"

#!/usr/bin/env bash
# The rules the compiler does not check (the platform boundary, the Qt-free
# libraries, the layout), in a few seconds; test.sh runs this before it builds
# anything. Tests, benchmarks and fuzz targets are aside from the first two.
#   1. The system is called from platform/ only: no other file includes a system
#      header (unistd.h, fcntl.h, sys/..., termios.h and the like).
#   2. Qt only where it belongs: the Qt half of the platform (platform/qt/) and of
#      the widgets (widgets/qt/), the serial library's event glue (SerPort.cpp,
#      SerWin32.cpp), the port's form and component (serial/form/,
#      serial/component/), and the windows and the programs (the sources of the
#      CMake targets below, with their headers). Everything else, platform's core,
#      datafile/, datamodel/, widgets/ and the collector's and simulator's core
#      libraries among it, is Qt-free by design.
#   3. The layout is what clang-format gives (.clang-format at the top).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

qt_places=(platform/qt/ widgets/qt/ serial/SerPort.cpp serial/SerWin32.cpp serial/form/
           serial/component/)
qt_targets=("collector collector_desktop collector_window gasbridge"
            "simulator simulator_window gasmimic")

# The project's C++ files, committed or new (build trees and ignored files aside).
if git rev-parse --git-dir >/dev/null 2>&1; then
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

# 1. System headers outside platform/.
system_header='^\s*#\s*include\s*<((unistd|fcntl|termios|pthread|poll|dirent|dlfcn|netdb|pwd|grp|spawn|semaphore)\.h|(sys|arpa|netinet|net|linux)/)'
found=$(printf '%s\n' "${code[@]}" | grep -v '^platform/' | xargs -r grep -nE "$system_header" || true)
[ -z "$found" ] || fail "a system header outside platform/ (give platform/ the operation):" <<<"$found"

# 2. Qt outside its places.
qt_include='^\s*#\s*include\s*(<Q|<Qt|"platform/qt/|"widgets/qt/|"serial/form/|"serial/component/)'
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

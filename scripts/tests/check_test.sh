#!/usr/bin/env bash
# check.sh against a small tree of its own: every file that includes what it may not
# is named, every file that keeps to the rules is not, and the tree passes once the
# offending files are gone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check="$here/../check.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cp "$here/../../.clang-format" "$tree/"

# File, then its lines.
write() {
  mkdir -p "$(dirname "$tree/$1")"
  printf '%s\n' "${@:2}" >"$tree/$1"
}
offending=(datamodel/Signal.cpp datamodel/CSignal.cpp datamodel/Sched.cpp collector/Pty.cpp
           collector/Ioctl.cpp datamodel/QtOld.cpp platform/QtInCore.cpp)
write datamodel/Signal.cpp '#include <signal.h>'
write datamodel/CSignal.cpp '#include <csignal>'
write datamodel/Sched.cpp '#include <sched.h>'
write collector/Pty.cpp '#include <pty.h>'
write collector/Ioctl.cpp '#include "sys/ioctl.h"'
write datamodel/QtOld.cpp '#include <qstring.h>'
write platform/QtInCore.cpp '#include <qstring.h>'
keeping=(datamodel/Fine.cpp datamodel/Fine.h platform/System.cpp widgets/qt/Window.cpp
         datamodel/tests/Probe.cpp)
write datamodel/Fine.h '#pragma once' '' '#include <cstdio>' '#include <string>'
write datamodel/Fine.cpp '#include "datamodel/Fine.h"'
write platform/System.cpp '#include <signal.h>' '#include <sys/ioctl.h>'
write widgets/qt/Window.cpp '#include <qstring.h>' '#include <QWidget>'
write datamodel/tests/Probe.cpp '#include <unistd.h>'

failed=0
if out=$("$check" "$tree" 2>&1); then
  echo "check.sh passed a tree that breaks its rules"
  failed=1
fi
for file in "${offending[@]}"; do
  grep -q "^  $file:1:" <<<"$out" || { echo "not named: $file"; failed=1; }
done
for file in "${keeping[@]}"; do
  ! grep -q "$file" <<<"$out" || { echo "named though it keeps the rules: $file"; failed=1; }
done
for file in "${offending[@]}"; do rm "$tree/$file"; done
if ! clean=$("$check" "$tree" 2>&1); then
  echo "check.sh failed a tree that keeps its rules:"
  echo "$clean"
  failed=1
fi
if ((failed)); then
  echo "check.sh said:"
  echo "$out"
  exit 1
fi
echo "check.sh names each of ${#offending[@]} offending files and none of ${#keeping[@]} others"

#!/bin/sh
# The dialog's settings tests as a standard Windows account meets them: run
# by an unprivileged user (nobody) in a Wine prefix of its own whose Windows
# directory it may not write. Needs root (to become nobody).
# Usage: as_standard_user.sh SCOUT_DIALOG_TESTS_EXE
set -e
top=$(cd "$(dirname "$0")/../.." && pwd)
tests=$1
if [ "$(id -u)" != 0 ]; then
  echo "as_standard_user: run as root (it becomes nobody)" >&2
  exit 1
fi
home=$(mktemp -d /tmp/scout-standard-user-XXXXXX)
trap 'rm -rf "$home"' EXIT
chown 65534:65534 "$home"
as_nobody() {
  setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$home" "$@"
}
as_nobody python3 "$top/lab/scoutlab.py" make-wine-prefix "$home/prefix" >/dev/null
chmod 0555 "$home/prefix/drive_c/windows"
cp "$tests" "$home/tests.exe"
chmod 0755 "$home/tests.exe"
out=$(as_nobody sh -c 'eval "$(python3 "$1/lab/scoutlab.py" wine-env "$2/prefix")"; cd "$2" && wine tests.exe --gtest_filter=AddressSettings.OnAStandardAccount*' sh "$top" "$home" 2>&1) || status=$?
as_nobody sh -c 'eval "$(python3 "$1/lab/scoutlab.py" wine-env "$2/prefix")"; wineserver -k' sh "$top" "$home" >/dev/null 2>&1 || true
echo "$out"
# It must have run, not been skipped: the directory was read-only for it.
echo "$out" | grep -q '^\[  PASSED  \] 1 test' || { echo "as_standard_user: the test did not pass as a standard user" >&2; exit 1; }
echo "$out" | grep -q 'SKIPPED' && { echo "as_standard_user: the test was skipped: the Windows directory was writable" >&2; exit 1; }
exit ${status:-0}

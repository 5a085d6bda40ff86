#!/usr/bin/env bash
# C:\Update end to end: each case makes the folder from the Unix side (Wine
# shows another Unix owner as ANONYMOUS LOGON and Unix "other" bits as
# Everyone, and keeps no access lists of its own), runs one test of
# update_folder_e2e_tests.exe, then looks at the Unix modes. The lab's own
# C:\Update is put back at the end.
#   update_folder_e2e.sh WINE_RUN TEST_EXE
set -euo pipefail
wine_run=$1
exe=$2
source "$(dirname "$wine_run")/lab-env"
dir="$WINEPREFIX/drive_c/Update"
saved="$WINEPREFIX/drive_c/Update.e2e-saved"

skip() {
  echo "skipped: $*"
  exit 77
}
[ "$(id -u)" = 0 ] || skip "making files of another Unix user needs root"
id nobody >/dev/null 2>&1 || skip "no user 'nobody' to own files"

rm -rf "$saved"
[ -e "$dir" ] && mv "$dir" "$saved"
restore() {
  rm -rf "$dir"
  if [ -e "$saved" ]; then mv "$saved" "$dir"; fi
}
trap restore EXIT

debug='[General]\r\nIgnoreURLCheck=1\r\n[DebugInfoSearch]\r\nSPID=ZU-FORCED\r\n'
# folder MODE OWNER; debug MODE OWNER
make() {
  rm -rf "$dir"
  mkdir "$dir"
  printf 'kept' >"$dir/PatchList.dat"
  printf "$debug" >"$dir/Debug.ini"
  chmod "$3" "$dir/Debug.ini"
  chown "$4" "$dir/Debug.ini"
  chmod "$1" "$dir"
  chown "$2" "$dir"
}
other_may_write() { [ "$(stat -c %A "$1" | cut -c9)" = w ]; }
failed=0
run() {
  echo "== $1"
  if ! ZU_UPDATE_FOLDER_E2E=1 "$wine_run" "$exe" --gtest_color=no --gtest_filter="UpdateFolderE2E.$1"; then
    failed=1
    return 1
  fi
}
check() {
  if ! eval "$1"; then
    echo "FAILED after $2: $1"
    failed=1
  fi
}

rm -rf "$dir"
run PreInstallCreatesTheFolderProtected &&
  check '[ -d "$dir" ] && ! other_may_write "$dir"' "a fresh /PreInstall"

make 777 root 666 root
run AnAdministratorsPreInstallTakesItOver &&
  check '[ ! -e "$dir/Debug.ini" ] && [ -e "$dir/PatchList.dat" ] && ! other_may_write "$dir"' \
    "/PreInstall on a folder anyone may write"

make 755 nobody 644 nobody
run AnAdministratorsPreInstallTakesItOver &&
  check '[ ! -e "$dir/Debug.ini" ] && ! other_may_write "$dir"' \
    "/PreInstall on a folder of another Unix user"

make 777 root 666 root
run AStandardUsersPreInstallLeavesItAlone &&
  check '[ -e "$dir/Debug.ini" ] && [ "$(stat -c %a "$dir")" = 777 ]' \
    "a standard user's /PreInstall"

make 755 root 644 root
run TheDebugFileOfTheWineUserIsHonoured || true
for setup in "755 root 644 nobody" "755 nobody 644 root" "755 root 666 root" "777 root 644 root"; do
  echo "-- folder and file: $setup"
  # shellcheck disable=SC2086
  make $setup
  run ADebugFileAStandardUserCouldHaveWrittenIsIgnored || true
done
exit $failed

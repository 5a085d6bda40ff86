#!/usr/bin/env bash
# The package end to end, with Wine's msiexec in a throwaway prefix (the
# agent reports Windows XP there, so its autorun is the Run value that Wine
# can hold): a refused downgrade; then install, repair, upgrade to a newer
# package and an uninstall, after each removal the prefix's files and
# registry as they were before the first installation.
#   package_e2e.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lab-env"
[ -f "$ZU_LAB/display" ] || "$root/scripts/lab" start >/dev/null
export DISPLAY=$(cat "$ZU_LAB/display")
export WINEPREFIX=$build/package-e2e
work=$build/package-e2e.work
package=$build/ZEFOUpdate.msi
snapshot="python3 $root/tests/support/prefix_snapshot.py"

cleanup() {
  timeout 60 wineserver -k 2>/dev/null || true
  [ -n "${ZU_KEEP_PACKAGE_PREFIX:-}" ] || rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
failed=0
step() { echo "package-e2e: $*"; }
fail() {
  echo "package-e2e: FAILED: $*"
  failed=1
}
check() {  # CONDITION WHAT
  if ! eval "$1"; then fail "$2 ($1)"; fi
}
w() { timeout --kill-after=10 120 wine "$@" </dev/null; }
# msiexec's exit code. Its output goes to a file: the agent it starts
# inherits it and would hold a pipe open for as long as it runs.
msi() {
  timeout --kill-after=10 300 wine msiexec "$@" /qn </dev/null >>"$work/msiexec.log" 2>&1
}
reg_value() {  # KEY NAME: the data of a value (NAME empty: the default one), or nothing
  local select=(/v "$2") name=$2
  [ -z "$2" ] && select=(/ve) && name='(Default)'
  { w reg query "$1" "${select[@]}" 2>/dev/null || true; } | tr -d '\r' |
    sed -n "s/^ *$name *REG_[A-Z_]* *//p"
}
has_key() { w reg query "$1" >/dev/null 2>&1; }
c=$WINEPREFIX/drive_c
install_dir="$c/Program Files/Vexa/ZEFO Update 4"
settings="$c/ProgramData/Vexa Corporation/ZEFO Update/ZU.ini"
start_menu="$c/ProgramData/Microsoft/Windows/Start Menu"
clsid='{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05}'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
zuui() { w "Z:${build//\//\\}\\bin\\zuui.exe" "$@" >/dev/null 2>&1; }
agent_runs() { zuui wait --caption "ZU MainWnd" --timeout 20000; }
agent_gone() {
  for _ in $(seq 50); do zuui wait --caption "ZU MainWnd" --timeout 1 || return 0; sleep 0.2; done
  return 1
}
products() { { w reg query "$uninstall_key" 2>/dev/null || true; } | tr -d '\r' | grep -c '\\{' || true; }
take() {  # NAME
  timeout 60 wineserver -w 2>/dev/null || true
  w regedit /E "$work/$1.reg"
  $snapshot take "$WINEPREFIX" "$work/$1.reg" "$work/$1.json"
}

# Everything a user of the package would see installed.
check_installed() {  # WHAT EXPECTED_VERSION_TEXT
  local what=$1 text=$2
  for f in ZEFOUpdt.exe ZUAC.dll ZU.ini Version.txt Pim.txt; do
    check '[ -f "$install_dir/$f" ]' "$what: $f installed"
  done
  check '[ "$(tr -d "\r\n" <"$install_dir/Version.txt")" = "$text" ]' "$what: Version.txt says $text"
  check 'cmp -s "$install_dir/ZU.ini" "$build/bin/install/ZU.ini"' "$what: the settings template"
  local server
  server=$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" '')
  check '[ "$server" = "C:\\Program Files\\Vexa\\ZEFO Update 4\\ZUAC.dll" ]' "$what: the control's server is the installed library"
  check 'has_key "HKCR\\ZUAX.ZUAXCtrl.4"' "$what: the control's programmatic id"
  check 'has_key "HKCR\\CLSID\\$clsid\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"' "$what: safe for scripting"
  check 'has_key "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\$clsid"' "$what: pre-approved"
  check 'has_key "HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\$clsid"' "$what: elevation policy"
  # A script creates the control from its installed place (as a page
  # outside the allow-list: the retired method answers false, the code
  # reads as refused).
  local answer
  answer=$({ w cscript //nologo 'C:\zu-package-check.js' 2>&1 || true; } | tr -d '\r')
  check '[ "$answer" = "false -1" ]' "$what: a script creates the control (answered: $answer)"
  local run
  run=$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' 'ZEFO Update 4')
  check '[ "$run" = "\"C:\\Program Files\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  /Stationary" ]' "$what: autorun (Run value: $run)"
  check '[ -f "$start_menu/Go to ZEFO Web Support.lnk" ]' "$what: Start-menu shortcut"
  check '[ -f "$start_menu/Programs/ZEFO Update 4/ZEFO Update Options.lnk" ]' "$what: Options shortcut"
  check '[ -f "$start_menu/Programs/ZEFO Update 4/Go to ZEFO Web Support.lnk" ]' "$what: support-page shortcut"
  # Wine keeps an access list as Unix modes: "no one else may write" is
  # what can be seen of C:\Update's protected list here.
  check '[ -d "$c/Update" ] && [ "$(stat -c %A "$c/Update" | cut -c9)" != w ]' "$what: C:\\Update protected"
  check 'agent_runs' "$what: the agent runs for the installing user"
  check '[ -f "$settings" ]' "$what: the agent made the settings file"
  check '[ "$(products)" = 1 ]' "$what: one product installed ($(products))"
}

step "new prefix $WINEPREFIX"
timeout 60 wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work"
DISPLAY= timeout 1200 wineboot -i >/dev/null 2>&1 || true
timeout 300 wineserver -w || true
w reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
w reg add 'HKCU\Software\Wine\AppDefaults\ZEFOUpdt.exe' /v Version /d winxp /f >/dev/null
# Internet Explorer's policy keys exist on every Windows it runs on; the
# control's registration writes below them.
w reg add 'HKLM\SOFTWARE\Microsoft\Internet Explorer\Low Rights\ElevationPolicy' /f >/dev/null
w reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Ext\PreApproved' /f >/dev/null
printf 'var z = new ActiveXObject("ZUAX.ZUAXCtrl.4");\r\nWScript.Echo(z.SearchModelCode("x") + " " + z.GetLastError());\r\n' \
  >"$c/zu-package-check.js"
# Wine registers what its desktop and its script host need at their first
# start: that settles before the first look.
zuui windows
w cscript //nologo 'C:\zu-package-check.js' >/dev/null 2>&1 || true
take before

# A newer package: the next patch version, the same programs.
IFS=. read -r major minor patch _ <<<"$version"
newer_version="$major.$minor.$((patch + 1)).0"
newer_text=$(printf '%d.%d.%02d.%05d' "$major" "$minor" $((patch + 1)) 0)
mkdir -p "$work/newer"
cp "$build/bin/install/ZU.ini" "$build/bin/install/Pim.txt" "$work/newer/"
printf '%s\r\n' "$newer_text" >"$work/newer/Version.txt"
newer=$work/ZEFOUpdate-newer.msi
bash "$root/scripts/package" --version "$newer_version" --programs "$build/bin" \
  --data "$work/newer" --out "$newer"

# First, with the newer product installed, the older package is refused.
# (Checked before an upgrade: when RemoveExistingProducts removes the older
# product after the newer one is in place, Wine's msi forgets the newer
# product's upgrade code, so that a later package cannot find it.)
step "an older package is refused"
check 'msi /i "Z:${newer//\//\\}"' "newer package installed"
check '! msi /i "Z:${package//\//\\}"' "downgrade refused"
check '[ "$(tr -d "\r\n" <"$install_dir/Version.txt")" = "$newer_text" ]' "downgrade: the newer files stay"
check '[ "$(products)" = 1 ]' "downgrade: one product"
check 'msi /x "Z:${newer//\//\\}"' "newer package removed"
take refused
if ! left=$($snapshot compare "$work/before.json" "$work/refused.json"); then
  fail "the newer package's removal left these behind:"
  printf '%s\n' "$left" | sed 's/^/    /'
fi

step "install $package"
check 'msi /i "Z:${package//\//\\}"' "install answered success"
check_installed "install" "$(tr -d '\r\n' <"$build/bin/install/Version.txt")"
check '[ "$(reg_value "HKCU\\Software\\Vexa Corporation\\ZEFO Update\\4.0" FirstRun)" = 0x1 ]' "install: the agent's first run"

step "repair after losing the control, its registration, a shortcut and the autorun"
sed -i 's/^InfoFileURLBase=.*/InfoFileURLBase=http:\/\/kept.example\//' "$settings"
w regsvr32 /u /s 'C:\Program Files\Vexa\ZEFO Update 4\ZUAC.dll' || true
rm -f "$install_dir/ZUAC.dll" "$start_menu/Go to ZEFO Web Support.lnk"
w reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v 'ZEFO Update 4' /f >/dev/null 2>&1 || true
check '! has_key "HKCR\\ZUAX.ZUAXCtrl.4"' "repair set-up: the control unregistered"
check 'msi /i "Z:${package//\//\\}" REINSTALL=ALL' "repair answered success"
check_installed "repair" "$(tr -d '\r\n' <"$build/bin/install/Version.txt")"
check 'grep -q "^InfoFileURLBase=http://kept.example/" "$settings"' "repair: the settings file kept"

step "upgrade to the newer package"
w reg add 'HKCU\Software\Vexa Corporation\ZEFO Update\4.0' /v LastVisit /d 2008-03-07-09:05 /f >/dev/null
printf '[UncheckItem]\r\nZU-KEPT=1\r\n' >"$c/Update/UncheckItem.dat"
check 'msi /i "Z:${newer//\//\\}"' "upgrade answered success"
check_installed "upgrade" "$newer_text"
check 'grep -q "^InfoFileURLBase=http://kept.example/" "$settings"' "upgrade: the settings file kept"
check '[ "$(reg_value "HKCU\\Software\\Vexa Corporation\\ZEFO Update\\4.0" LastVisit)" = 2008-03-07-09:05 ]' "upgrade: per-user values kept"
check '[ -f "$c/Update/UncheckItem.dat" ]' "upgrade: C:\\Update kept"

step "uninstall with the agent running and the engine's leftovers in place"
check 'agent_runs' "uninstall set-up: the agent runs"
mkdir -p "$c/Update/Driver123"
printf 'MZ' >"$c/Update/Driver123/Driver123.exe"
printf 'MZ' >"$c/Update/Driver123/Driver124.exeZU!"
printf 'list' >"$c/Update/PatchList.dat"
w reg add 'HKLM\Software\Vexa Corporation\ZEFO Update' /v RebootFlg /d 0 /f >/dev/null
w reg add 'HKLM\Software\Vexa Corporation\ZEFO Update' /v LaunchInstaller /t REG_DWORD /d 0 /f >/dev/null
check 'msi /x "Z:${newer//\//\\}"' "uninstall answered success"
check 'agent_gone' "uninstall: the agent stopped"
take after
if ! left=$($snapshot compare "$work/before.json" "$work/after.json"); then
  fail "uninstall left these behind:"
  printf '%s\n' "$left" | sed 's/^/    /'
fi

[ $failed = 0 ] && step "passed"
exit $failed

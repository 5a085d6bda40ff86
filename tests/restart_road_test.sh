#!/usr/bin/env bash
# The restart road of an installation, end to end, in a throwaway Wine
# prefix that reports Windows XP (so autorun is the Run value), because
# restarting ends every process of a prefix:
#   restart_road_test.sh BIN_DIR LEVEL
# A support page in the page host runs an installer whose first run asks
# for a second one after a restart; the control registers the agent with
# "/S" and restarts once its notice is confirmed. The logon after it runs
# the agent with "/S": it shows "Now Installing...(1/1)", runs the second
# phase, which asks for nothing more (LEVEL 0: the agent registers quiet
# starts and opens the support page itself), for a restart (1) or for a
# shutdown (2): then the agent registers "/showpage" and restarts or shuts
# down after its own notice, and the logon after that runs "/showpage":
# quiet starts registered again and the support page opened.
set -euo pipefail
bin=$1
level=$2
source "$(dirname "$0")/../scripts/lab-env"
[ -f "$ZU_LAB/display" ] || "$ZU_ROOT/scripts/lab" start >/dev/null
export DISPLAY=$(cat "$ZU_LAB/display")
export WINEPREFIX=$ZU_BUILD/restart-road-$level
port=$((8470 + level))
export ZU_ROAD_SERVER=http://127.0.0.10:$port ZU_ROAD_LEVEL=$level
export ZU_RECORD_FILE='C:\road-browser.log'
winbin="Z:${bin//\//\\}"
caption=$([ "$level" = 2 ] && echo Shutdown || echo Reboot)

server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  timeout 60 wineserver -k 2>/dev/null || true
  [ -n "${ZU_KEEP_ROAD_PREFIX:-}" ] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
step() { echo "restart-road[$level]: $*"; }
in_prefix() {  # SECONDS PROGRAM ARGS...
  local limit=$1
  shift
  timeout --kill-after=10 "$limit" wine "$@" </dev/null
}
run_value() { grep -a -A0 '"ZEFO Update 4"=' "$WINEPREFIX/system.reg" | tail -1; }
# Waits until a program of the prefix whose command line matches is there
# (or gone): a program started while a restart still ends the session would
# be ended with it.
in_this_prefix() {  # PATTERN: a matching program of this prefix runs
  local pid
  for pid in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
wait_for() {  # there|gone PATTERN
  for _ in $(seq 480); do
    if in_this_prefix "$2"; then [ "$1" = there ] && return 0
    else [ "$1" = gone ] && return 0; fi
    sleep 0.25
  done
  echo "restart-road[$level]: no program matching $2 is $1" >&2
  return 1
}

# The maker's server: every information file names the manual page.
python3 - "$port" <<'PY' &
import http.server, sys
port = int(sys.argv[1])
class H(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/page/"):
            body = b"<html>support</html>"
        else:
            body = ('<?xml version="1.0"?>\n<zefo><lastupdate>2001-1-1-0:0-GMT</lastupdate>'
                    '<urlmanual>http://127.0.0.10:%d/page/manual</urlmanual></zefo>\n' % port).encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *a):
        pass
http.server.HTTPServer(("127.0.0.10", port), H).serve_forever()
PY
server_pid=$!

step "new prefix $WINEPREFIX"
rm -rf "$WINEPREFIX"
DISPLAY= timeout 1200 wineboot -i >/dev/null 2>&1 || true
timeout 300 wineserver -w || true
in_prefix 300 reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null
in_prefix 300 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
step "the page's run: first phase, autorun with /S, the control's restart"
in_prefix 300 "$winbin\\restart_road_tests.exe" --gtest_also_run_disabled_tests \
  --gtest_filter=RestartRoad.DISABLED_Prepare --gtest_brief=1 || true
# Wine restarts the session at once and runs the Run values, as a logon.
wait_for there 'ZEFOUpdt\.exe.* /S$'
step "logon: the Run value started the agent with /S"
in_prefix 240 "$winbin\\zuui.exe" wait --caption 'Now Installing...(1/1)' --class '#32770' \
  --timeout 180000
if [ "$level" != 0 ]; then
  step "the dialog showed the counter; confirming the $caption notice"
  in_prefix 240 "$winbin\\zuui.exe" msgbox --caption "$caption" --press OK --timeout 180000 || true
fi
if [ "$level" = 1 ]; then
  wait_for gone 'ZEFOUpdt\.exe.* /S$'
  wait_for there 'ZEFOUpdt\.exe.* /showpage$'
fi
if [ "$level" = 2 ]; then
  # A shutdown ends the session for good; the next logon is wineboot's
  # start of the Run values.
  timeout 180 wineserver -w
  step "after the shutdown: $(run_value)"
  run_value | grep -q '  /showpage"'
  in_prefix 120 wineboot >/dev/null 2>&1 || true
fi

if [ "$level" = 0 ]; then
  step "the agent registers quiet starts and opens the support page itself"
else
  step "next logon: the Run value starts the agent with /showpage"
fi
in_prefix 400 "$winbin\\restart_road_tests.exe" --gtest_also_run_disabled_tests \
  --gtest_filter=RestartRoad.DISABLED_AfterLogon --gtest_brief=1
step "passed"

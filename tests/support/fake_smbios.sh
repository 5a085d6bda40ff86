#!/usr/bin/env bash
# Runs the identity tests against made-up firmware. Wine's WMI reads the
# SMBIOS values from /sys/class/dmi/id inside the querying process, so a
# private mount namespace with its own files there changes the answers for
# that process only; the lab's wineserver and prefix stay as they are.
#   fake_smbios.sh WINE_RUN TEST_EXE [GTEST_FILTER]
set -euo pipefail
wine_run=$1
exe=$2
filter=${3:-WmiQuery.*:Identity.*:IdentityCacheTest.*}

skip() {
  echo "skipped: $*"
  exit 77
}
[ "$(id -u)" = 0 ] || skip "a private mount namespace needs root"
unshare -m sh -c 'mount -t tmpfs none /sys/class' 2>/dev/null ||
  skip "cannot mount in a private mount namespace"

# Trailing spaces and an inner space in the identifying number, a
# parenthesized model name: the raw texts must arrive unchanged, the cut
# must follow the rules. The tests read these to know what to expect.
export ZU_SMBIOS_NAME="VexaBook 9000 (Pro)"
export ZU_SMBIOS_IDNUM="VB9 12-34  "
export ZU_SMBIOS_CODE="VB9"
export ZU_SMBIOS_SERIAL="12-34"
export ZU_SMBIOS_BIOS="V1.23"

# unshare makes the new mounts private: nothing leaks to the host.
exec unshare -m bash -c '
  set -euo pipefail
  mount -t tmpfs none /sys/class
  d=/sys/class/dmi/id
  mkdir -p "$d"
  printf "%s\n" "$ZU_SMBIOS_NAME" >"$d/product_name"
  printf "%s\n" "$ZU_SMBIOS_IDNUM" >"$d/product_serial"
  printf "%s\n" "$ZU_SMBIOS_BIOS" >"$d/bios_version"
  for f in sys_vendor bios_vendor board_vendor; do echo "Vexa Corporation" >"$d/$f"; done
  echo 01/02/2020 >"$d/bios_date"
  echo 1 >"$d/product_version"
  echo 1 >"$d/chassis_type"
  exec "$0" "$1" --gtest_color=no \
    --gtest_filter="$2"
' "$wine_run" "$exe" "$filter"

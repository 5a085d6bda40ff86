#!/usr/bin/env bash
# Runs the OS description tests in a process that Wine presents as
# Windows XP (AppDefaults for that exe only), then removes the setting.
#   run_as_xp.sh WINE_RUN TEST_EXE
set -euo pipefail
wine_run=$1
exe=$2
key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$exe")"
"$wine_run" reg add "$key" /v Version /d winxp /f >/dev/null
trap '"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true' EXIT
ZU_EXPECT_XP=1 "$wine_run" "$exe" --gtest_filter='OsDescriptionTest.*' --gtest_color=no

#!/usr/bin/env bash
# Runs the Windows unit test binary under Wine in one process (every Wine process start costs
# about a second), in the build's own Wine prefix, and keeps GoogleTest's report of each case.
# Usage: wine_unit_tests.sh TESTS_EXE REPORT_XML
set -euo pipefail
glimor_root=$(cd "$(dirname "$0")/../.." && pwd)
source "$glimor_root/tests/support/wine_env.sh"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$glimor_root/build/wine-prefix-$GLIMOR_WINDOWS_PRESET}
ensure_wine_prefix
rm -f "$2"
# Wine's drive Z: is the root of the file system.
exec wine "$1" --gtest_brief=1 "--gtest_output=xml:Z:${2//\//\\}"

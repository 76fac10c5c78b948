#!/usr/bin/env bash
# The window list the hot key takes with the screen, with 100 top-level windows (three controls
# each) on a 3840x2160 screen under Wine, without a virtual desktop: bench/win32/window_snapshot.cpp.
# Needs the Windows build's window_snapshot.exe.
# Usage: bench/window_snapshot.sh [WIDTHxHEIGHT, default 3840x2160]
source "$(dirname "$0")/../tests/e2e/lib.sh"
snapshot=$GLIMOR_WINDOWS_BUILD/bench/win32/window_snapshot.exe
[ -f "$snapshot" ] || fail "not built: $snapshot (cmake --build --preset $GLIMOR_WINDOWS_PRESET --target window_snapshot)"
start_x "${1:-3840x2160}"
fresh_prefix
cp "$snapshot" "$WINEPREFIX/drive_c/window_snapshot.exe"
timeout 600 wine 'C:\window_snapshot.exe' | tr -d '\r'

#!/usr/bin/env bash
# The window list the hot key takes with the screen, with 100 top-level windows (three controls
# each) on a 3840x2160 screen under Wine, without a virtual desktop: bench/win32/window_snapshot.cpp.
# Needs the Windows build's window_snapshot.exe.
# Usage: bench/window_snapshot.sh [WIDTHxHEIGHT, default 3840x2160]
source "$(dirname "$0")/../tests/e2e/lib.sh"
run_wine_bench window_snapshot "${1:-3840x2160}"

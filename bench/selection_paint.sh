#!/usr/bin/env bash
# The selection window's frame while a mark is drawn, on a 3840x2160 screen under Wine: the real
# window and its core, driven by bench/win32/selection_paint.cpp. Each mouse move is timed from the
# core's event to the window repainted; the whole capture copied back and repainted (what the rubber
# band's frame cost before it put back only its lines) is the figure beside them in the same run. Needs the Windows build's selection_paint.exe.
# Usage: bench/selection_paint.sh [WIDTHxHEIGHT, default 3840x2160]
source "$(dirname "$0")/../tests/e2e/lib.sh"
run_wine_bench selection_paint "${1:-3840x2160}"

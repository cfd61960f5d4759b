#!/usr/bin/env bash
# Runs the whole suite through ctest. Widgets run offscreen.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 300

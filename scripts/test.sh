#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (windowed and OpenGL
# tests get a private Xvfb display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build_dir="${NV_BUILD_DIR:-build}"
# Message boxes must never block a test run.
export NV_LOG_TO_STDERR=1
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --timeout 900

#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (windowed and OpenGL
# tests get a private Xvfb display each); then builds the same suite with
# AddressSanitizer and UndefinedBehaviorSanitizer in a second folder and
# runs it there, so that memory faults fail the run instead of passing by
# luck. NV_SANITIZE_BUILD_DIR names that folder (default build-sanitize);
# NV_SKIP_SANITIZE=1 leaves that half out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build_dir="${NV_BUILD_DIR:-build}"
san_dir="${NV_SANITIZE_BUILD_DIR:-build-sanitize}"
# Message boxes must never block a test run.
export NV_LOG_TO_STDERR=1

seconds() { date +%s; }
t0=$(seconds)
bash scripts/build.sh
t1=$(seconds)
ctest --test-dir "$build_dir" --output-on-failure --parallel "${NV_JOBS:-$(nproc)}" --timeout 900
t2=$(seconds)
echo "test.sh: build $((t1 - t0)) s, tests $((t2 - t1)) s"

if [ "${NV_SKIP_SANITIZE:-0}" = 1 ]; then
  exit 0
fi
NV_BUILD_DIR="$san_dir" bash scripts/build.sh -DNV_SANITIZE=ON -DNV_BUILD_BENCH=OFF
t3=$(seconds)
# Undefined behaviour fails the test that meets it, as a memory fault does.
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir "$san_dir" --output-on-failure --parallel "${NV_JOBS:-$(nproc)}" --timeout 1800
t4=$(seconds)
echo "test.sh: sanitizer build $((t3 - t2)) s, sanitizer tests $((t4 - t3)) s, all $((t4 - t0)) s"

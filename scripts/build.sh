#!/usr/bin/env bash
# Configures and builds Norvelith in ./build (or $NV_BUILD_DIR) with Ninja and ccache;
# NV_JOBS caps the parallel compiler runs (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
: "${CCACHE_DIR:=${XDG_CACHE_HOME:-$HOME/.cache}/norvelith-ccache}"
export CCACHE_DIR
# Checkouts in other folders (worktrees, CI clones) share the cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
mkdir -p "$CCACHE_DIR"
ccache --max-size=5G >/dev/null 2>&1 || true
build_dir="${NV_BUILD_DIR:-build}"
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$build_dir" --parallel "${NV_JOBS:-$(nproc)}"

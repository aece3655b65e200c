#!/usr/bin/env bash
# Installs what is missing, builds and starts Norvelith, optionally on a file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build_dir="${NV_BUILD_DIR:-build}"
if [ -x "$build_dir/src/app/norvelith" ]; then
  # The heap gets transparent huge pages too: where the first touch of fresh
  # memory is slow, reading a large data file spends most of its time there.
  export GLIBC_TUNABLES="${GLIBC_TUNABLES:+$GLIBC_TUNABLES:}glibc.malloc.hugetlb=1"
  exec "$build_dir/src/app/norvelith" "$@"
fi
echo "Norvelith's main window is not built yet; the libraries and tests are in $build_dir."

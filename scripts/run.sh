#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window with the sample folder (the sample
# character and its two name lists) as the start-up directory.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build_dir=$(cd "${BUILD_DIR:-build}" && pwd)
cd "$build_dir/samples"
exec "$build_dir/bin/quorvel"

#!/usr/bin/env bash
# Pictures of the five pages after opening the sample character, in a real window under Xvfb:
# docs/screenshots/page-1.png ... page-5.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
sample=$(ls "$build_dir"/samples/*.acs | head -n 1)
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x600x24" \
  "$build_dir/bin/screenshot_pages" "$build_dir/samples" "$sample" docs/screenshots
ls -l docs/screenshots

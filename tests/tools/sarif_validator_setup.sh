#!/usr/bin/env bash
# Installs the SARIF Multitool from the npm registry into DIR (once: an installed one is kept). It
# ships its own Linux program; npm leaves its install script unrun, so the program is made
# executable here.
set -euo pipefail
dir=$1
tool=$dir/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool
if [ ! -x "$tool" ]; then
  mkdir -p "$dir"
  npm install --prefix "$dir" --no-audit --no-fund --no-save @microsoft/sarif-multitool@5.7.0
  chmod u+x "$tool"
fi
"$tool" --version

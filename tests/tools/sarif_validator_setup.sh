#!/usr/bin/env bash
# Installs the SARIF Multitool from the npm registry into DIR (once: an installed one is kept). It
# ships its own Linux program; npm leaves its install script unrun, so the program is made
# executable here.
set -euo pipefail
# npm trusts the certificate authorities the rest of the system trusts (a proxy's own among them).
[ -r /etc/ssl/certs/ca-certificates.crt ] && export NODE_EXTRA_CA_CERTS=${NODE_EXTRA_CA_CERTS:-/etc/ssl/certs/ca-certificates.crt}
dir=$1
tool=$dir/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool
if [ ! -x "$tool" ]; then
  mkdir -p "$dir"
  npm install --prefix "$dir" --no-audit --no-fund --no-save @microsoft/sarif-multitool@5.7.0
  chmod u+x "$tool"
fi
"$tool" --version

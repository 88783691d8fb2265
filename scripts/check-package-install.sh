#!/usr/bin/env bash
# The Debian package given as $1 installs, works for a normal user and leaves nothing behind:
# records every path under the system folders a package may touch, installs the package with
# apt-get, lists its files, validates its desktop entry and AppStream entry, has `nobody` check
# the installed sample from a folder of its own and shows the checker's manual page, purges the
# package, and fails if any path appeared or went missing. For CI on a fresh machine (it
# installs and removes a package): run as root.
set -euo pipefail
deb=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || { echo "check-package-install.sh: must run as root" >&2; exit 2; }
if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q installed; then
  echo "check-package-install.sh: quorvel is installed already; purge it first" >&2
  exit 2
fi
# Logs, caches and the package manager's own records change by design.
snapshot() {
  find /etc /opt /usr /var -xdev \( -path /var/log -o -path /var/cache -o -path /var/lib/dpkg \
    -o -path /var/lib/apt -o -path /var/tmp -o -path /var/mail -o -path /var/spool \) -prune \
    -o -print | LC_ALL=C sort
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
snapshot >"$scratch/before"

echo "== install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >/dev/null
dpkg -L quorvel >"$scratch/files"
echo "installed $(wc -l <"$scratch/files") paths:"
sed 's/^/  /' "$scratch/files"

echo "== desktop-file-validate /usr/share/applications/quorvel.desktop"
desktop-file-validate /usr/share/applications/quorvel.desktop && echo "desktop-file-validate: no errors"
echo "== appstreamcli validate --no-net --pedantic /usr/share/metainfo/example.quorvel.Quorvel.metainfo.xml"
appstreamcli validate --no-net --pedantic /usr/share/metainfo/example.quorvel.Quorvel.metainfo.xml

echo "== quorvel-check on the installed sample, as nobody, from a folder of its own"
chown nobody "$scratch"
samples=/usr/share/quorvel/samples
status=0
(cd "$scratch" && runuser -u nobody -- quorvel-check --animations "$samples/AvailAnim.txt" \
  --states "$samples/AvailState.txt" "$samples/Tobin.acs") || status=$?
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status, expected 1 (some names missing)" >&2; exit 1; }
echo "== man quorvel-check (first lines)"
MANWIDTH=80 man -P cat quorvel-check 2>/dev/null | head -n 20

echo "== purge"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q quorvel >/dev/null
snapshot >"$scratch/after"
if ! diff "$scratch/before" "$scratch/after" >"$scratch/changes"; then
  echo "FAIL: installing and purging the package changed these paths (< gone, > left):" >&2
  cat "$scratch/changes" >&2
  exit 1
fi
echo "purged: every path under /etc /opt /usr /var is as it was before the install"

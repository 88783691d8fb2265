#!/usr/bin/env bash
# Every test as a normal user, the way a new user works: creates the unprivileged user given as $1
# (default quorvel-ci) when missing, copies this checkout without its build folders into a folder
# of the user's own, and there, as that user, builds and runs the whole suite (the installed-tree
# test and the soak included) and makes the Debian package for lintian to judge. Run by root,
# after scripts/install-deps.sh has installed the packages.
set -euo pipefail
cd "$(dirname "$0")/.."
user=${1:-quorvel-ci}
if [ "$(id -u)" -ne 0 ]; then
  echo "test-as-user.sh: must run as root, to create the user $user and run as it" >&2
  exit 2
fi
id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
copy="$home/quorvel"
rm -rf "$copy"
install -d -o "$user" -g "$(id -gn "$user")" "$copy"
tar --exclude='./build*' --exclude=./.git -cf - . | runuser -u "$user" -- tar -xf - -C "$copy"
echo "== the suite as $user (uid $(id -u "$user")) in $copy"
runuser -l "$user" -c "cd '$copy' && bash scripts/test.sh && bash scripts/package.sh"

#!/usr/bin/env bash
# The repository's .pre-commit-hooks.yaml, used by the pre-commit tool from a temporary
# repository of hooks: a commit of a character file with missing names is refused with the
# checker's report, a commit of one whose names are all valid goes through.
#   pre_commit_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH=$build/bin:$PATH PRE_COMMIT_HOME=$work/cache HOME=$work
git config --global user.name tester
git config --global user.email tester@localhost
git config --global init.defaultBranch main

git init -q "$work/hooks"
cp "$source/.pre-commit-hooks.yaml" "$work/hooks/"
git -C "$work/hooks" add .pre-commit-hooks.yaml
git -C "$work/hooks" commit -qm hooks
rev=$(git -C "$work/hooks" rev-parse HEAD)

git init -q "$work/author"
cd "$work/author"
printf 'repos:\n- repo: %s\n  rev: %s\n  hooks:\n  - id: quorvel-check\n' "$work/hooks" "$rev" > .pre-commit-config.yaml
cp "$build/samples/AvailAnim.txt" "$build/samples/AvailState.txt" "$build/samples/Tobin.acs" .
git add .
pre-commit install > /dev/null
if git commit -qm "Tobin with names it lacks" > out.txt 2>&1; then
  cat out.txt; echo "a character with missing names was committed" >&2; exit 1
fi
grep -q 'missing: Dance' out.txt || { cat out.txt; echo "the checker's report is not shown" >&2; exit 1; }

quorvel-check --save Tobin.acs > /dev/null || true
mv ATobin.txt AvailAnim.txt
mv STobin.txt AvailState.txt
git add AvailAnim.txt AvailState.txt
git commit -qm "Tobin with its own names" > out.txt 2>&1 || { cat out.txt; echo "a valid character was refused" >&2; exit 1; }
echo "refused Tobin.acs with missing names, committed it with valid lists"

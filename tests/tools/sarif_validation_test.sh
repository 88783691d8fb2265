#!/usr/bin/env bash
# The checker's SARIF reports through the SARIF Multitool's validation with the rules GitHub code
# scanning applies: the sample, damaged files, a run of many files and the runs that the report
# fuzz target's inputs make up. Any error fails; the validator's output is shown.
#   sarif_validation_test.sh BUILD_DIR SOURCE_DIR CRAFTED_SARIF
set -euo pipefail
build=$1 source=$2 crafted=$3
validator=$build/npm/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool
check=$build/bin/quorvel-check
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$build/samples/Tobin.acs" "$build/samples/AvailAnim.txt" "$build/samples/AvailState.txt" .

# Status 1 (names missing) and 2 (files that cannot be used) are what these runs are for.
report() { local out=$1; shift; "$check" --format=sarif "$@" > "$out" || [ $? -le 2 ]; }

report sample.sarif Tobin.acs
printf 'hello' > text.acs
: > empty.acs
head -c 2000 Tobin.acs > cut.acs
cp Tobin.acs scribbled.acs
printf '\xff\xff\xff\xff\xff\xff\xff\xff' | dd of=scribbled.acs bs=1 seek=48 conv=notrunc status=none
mkdir folder.acs 'odd name %,:#.acs'
report damaged.sarif text.acs empty.acs cut.acs scribbled.acs folder.acs nowhere.acs 'odd name %,:#.acs'
mkdir many
for i in $(seq 1 200); do cp Tobin.acs "many/c$i.acs"; done
cp cut.acs text.acs many/
report many.sarif --jobs=2 many/*.acs
mkdir crafted
"$crafted" "$source/fuzz/corpus/reports" crafted 120

status=0
"$validator" validate --rule-kind "Sarif;Gh" --log ForceOverwrite -o validation.sarif \
  sample.sarif damaged.sarif many.sarif crafted/*.sarif > validation.log 2>&1 || status=$?
cat validation.log
if [ "$status" -ne 0 ] || grep -q ': error ' validation.log; then
  echo "SARIF validation failed (status $status)" >&2
  exit 1
fi
echo "validated $(ls crafted | wc -l) crafted reports and 3 of the checker's"

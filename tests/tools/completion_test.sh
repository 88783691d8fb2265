#!/usr/bin/env bash
# The bash completions offer what each place of a command line takes: one row per rule, the
# command line typed so far (the cursor at its end) and words the completion must offer, or
# must not offer after "!". Every long option of the built programs' --help (build folder $1)
# must be offered after "--" (the list command's own, on its lines of the help, after "list --").
# bash-completion is written for interactive shells, not for errexit or nounset.
build=$(cd "$1" && pwd)
source /usr/share/bash-completion/bash_completion
packaging=$(dirname "$0")/../../packaging/completions
source "$packaging/quorvel-check"
source "$packaging/quorvel-pack"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch Tobin.acs AvailAnim.txt && mkdir Max
# --explain takes the rule ids the checker's --help lists.
compopt() { :; }
quorvel-check() {
  printf '%s\n' 'Options:' '  --json  print JSON' 'Rules:' '  missing-animation (error)   A name' \
    '  blank-line (warning)        A line' 'Example:' '  quorvel-check --animations a.txt'
}

rows=(
  'quorvel-check --for|--format='
  'quorvel-check --format=|text json sarif github gitlab'
  'quorvel-check --color |auto always never'
  'quorvel-check --explain |missing-animation blank-line !--json !quorvel-check'
  'quorvel-check --explain=b|blank-line'
  'quorvel-check --jobs |1 2 4 8 16'
  'quorvel-check --animations |AvailAnim.txt !Tobin.acs'
  'quorvel-check --sa|--save --sarif='
  'quorvel-check |list cat Tobin.acs !AvailAnim.txt'
  'quorvel-check Tobin.acs |Tobin.acs !list'
  'quorvel-check list |Tobin.acs !AvailAnim.txt !cat'
  'quorvel-check list --escape=|auto always never'
  'quorvel-check list --|--json --escape= !--save'
  'quorvel-check cat |Tobin.acs !AvailAnim.txt'
  'quorvel-pack |Max/ !Tobin.acs'
  'quorvel-pack Max |Tobin.acs'
  'quorvel-pack --unpack |Tobin.acs'
  'quorvel-pack --unpack Tobin.acs |Max/ !Tobin.acs'
)
for program in quorvel-check quorvel-pack; do
  options=$("$build/bin/$program" --help | grep -v ' list ' | grep -o -- '--[a-z][a-z-]*' | sort -u)
  rows+=("$program --|$(for option in $options; do printf '%s ' "$option|$option="; done)")
done
failures=0
for row in "${rows[@]}"; do
  line=${row%%|*}
  COMP_LINE=$line
  COMP_POINT=${#line}
  # Words as readline splits them: at blanks, and "=" a word of its own.
  read -ra COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  if [[ $line == quorvel-check* ]]; then _quorvel_check; else _quorvel_pack; fi
  offered=" ${COMPREPLY[*]} "
  # Folders are offered with their slash added by readline; mark them here.
  for word in "${COMPREPLY[@]}"; do [ -d "$word" ] && offered+=" $word/ "; done
  for want in ${row#*|}; do
    # a|b: either of them.
    if [[ $want == *'|'* ]]; then
      [[ $offered == *" ${want%|*} "* || $offered == *" ${want#*|} "* ]] && continue
    elif [[ $want == !* ]]; then
      [[ $offered != *" ${want#!} "* ]] && continue
    else
      [[ $offered == *" $want "* ]] && continue
    fi
    echo "FAIL: '$line' offers [${COMPREPLY[*]}]; expected $want" >&2
    failures=$((failures + 1))
  done
done
[ "$failures" -eq 0 ] && echo "completions OK"
exit $((failures > 0))

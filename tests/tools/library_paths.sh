# Sourced by the tests of built and installed trees. check_library_paths FILE: fails unless every
# RPATH and RUNPATH entry of the ELF file FILE starts with $ORIGIN (an empty entry would mean the
# current directory). Needs a fail function.
check_library_paths() {
  local dynamic paths entries entry
  dynamic=$(readelf -d "$1")
  grep -qE '\((RPATH|RUNPATH)\)' <<<"$dynamic" || return 0
  paths=$(sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p' <<<"$dynamic")
  # The extra separator keeps a trailing empty entry, which read would drop.
  IFS=: read -ra entries <<<"$paths:"
  for entry in "${entries[@]}"; do
    case "$entry" in
      '$ORIGIN'*) ;;
      *) fail "$1 searches '$entry' for libraries" ;;
    esac
  done
}

# Sourced: ctl[<name>] is the number of each control of Tarvosetup's window, as
# setup/SetupIds.h numbers them (from 201 on, in order), for the scripts that drive it.
declare -A ctl
_setup_ids() {
  local ids names name n=201
  ids=$(sed -n '/enum SetupControlId/,/};/p' "$(dirname "${BASH_SOURCE[0]}")/../setup/SetupIds.h" |
        tr -d ' \n' | sed 's/enumSetupControlId{//; s/,};//; s/=201//')
  IFS=',' read -ra names <<<"$ids"
  for name in "${names[@]}"; do ctl[$name]=$n; n=$((n + 1)); done
}
_setup_ids
unset -f _setup_ids

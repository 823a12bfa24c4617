#!/bin/sh
# The installed scout-lab: the lab lives in share/ethernet-scout/lab beside this bin folder.
here=$(dirname "$(readlink -f "$0")")
exec python3 "$here/../share/ethernet-scout/lab/scout-lab" "$@"

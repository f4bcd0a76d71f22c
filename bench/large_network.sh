#!/usr/bin/env bash
# A network of about 150 machines in namespaces, as the client of it: a browse
# master with SMB_SERVERS servers on its list (29 unless told), WSD_PCS
# computers answering WS-Discovery (80) and DNSSD_BOXES boxes announcing
# themselves over DNS-SD (40). Prints each source's time alone and the whole
# program's report, its first run and the median of the runs after it (aim:
# every machine once with its address, within 2 s). Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
members=${SMB_SERVERS:-29}
pcs=${WSD_PCS:-80}
boxes=${DNSSD_BOXES:-40}
hosts=$(mktemp /tmp/vexor-large-hosts.XXXXXX)
# Addresses from .11 up, leaving out the client's (.100) and the hostile peer's
# (.30). Kept in a variable, not printed by a function: a command substitution
# runs in a subshell and would hand every host the same address.
next=11
take_address() {
    while [ "$next" -eq 100 ] || [ "$next" -eq 30 ]; do next=$((next + 1)); done
    address=$next
    next=$((next + 1))
}
{
    take_address
    echo "MESTRE $address classic GRANDE"
    for i in $(seq -w 1 "$members"); do take_address; echo "SRV$i $address member GRANDE"; done
    for i in $(seq -w 1 "$pcs"); do take_address; echo "PC$i $address wsd ESCRITORIO"; done
    for i in $(seq -w 1 "$boxes"); do take_address; echo "nas$i $address nas"; done
} >"$hosts"
[ "$next" -le 255 ] || { echo "too many machines for one /24" >&2; exit 2; }
export VEXOR_NETWORK_HOSTS=$hosts VEXOR_READY_SECONDS=${VEXOR_READY_SECONDS:-300}
TARGETS="vexormoralto bench_sources"
NETWORK=modern_network.sh
. bench/network_bench_lib.sh
trap 'bash "$network" down "$state" >/dev/null 2>&1 || true; rm -rf "$state" "$state.skip" "$hosts"' EXIT

machines=$(wc -l <"$hosts")
program="$PWD/$build/src/vexormoralto"
echo "Each source alone, on $machines machines:"
bash "$network" client "$state" "$PWD/$build/bench/bench_sources" | sed 's/^/  /'
first=$(elapsed "$program" --relatorio)
report=$(bash "$network" client "$state" "$program" --relatorio | tr -d '\r')
listed=$(sed -n '/^Rede:/,$ p' <<<"$report" | grep -c '^- ')
with_address=$(sed -n '/^Rede:/,$ p' <<<"$report" | grep -c '^- .* [0-9.]*[0-9]$' || true)
median=$(for _ in $(seq "${BENCH_RUNS:-5}"); do elapsed "$program" --relatorio; done | median)
echo "report: ${listed} of ${machines} machines listed, ${with_address} with an address;" \
    "first run ${first} ms, median ${median} ms (aim: every one, within 2000 ms)"

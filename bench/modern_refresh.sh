#!/usr/bin/env bash
# On the modern test network (tests/integration/modern_network.sh), as its
# client, the whole program's command-line report (start, refresh, lookups,
# report): its first run after the network comes up, the median of the runs
# after it against `avahi-browse -art -t` listing the same DNS-SD services
# (aim: ratio at most 1.00, report at most 1.0 s), what the two firewalled
# machines cost (the same report with their traffic dropped at the client;
# aim: at most 100 ms) and what a hostile peer with 200 names costs. Needs root
# for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS="vexormoralto bench_dnssd"
NETWORK=modern_network.sh
. bench/network_bench_lib.sh

program="$PWD/$build/src/vexormoralto"
runs=${BENCH_RUNS:-7}
first=$(elapsed "$program" --relatorio)
echo "Machines the report lists:"
bash "$network" client "$state" "$program" --relatorio | sed -n 's/^- /  /p'
median_of() { for _ in $(seq "$runs"); do elapsed "$@"; done | median; }
ours=$(median_of "$program" --relatorio)
theirs=$(median_of avahi-browse -art -t)
echo "first report after the network came up: ${first} ms; median of ${runs}: ${ours} ms" \
    "(aim: at most 1000 ms)"
echo "avahi-browse -art -t: ${theirs} ms; ratio $(ratio "$ours" "$theirs") (aim: at most 1.00)"

# The DNS-SD source alone: through the client's avahi-daemon, and by the
# program's own queries, against avahi-browse over the same services.
dnssd="$PWD/$build/bench/bench_dnssd"
echo "DNS-SD by the program's own queries:"
bash "$network" client "$state" "$dnssd" --itself | sed 's/^/  /'
through_avahi=$(median_of "$dnssd")
itself=$(median_of "$dnssd" --itself)
echo "DNS-SD source through avahi-daemon: ${through_avahi} ms, ratio" \
    "$(ratio "$through_avahi" "$theirs"); by its own queries: ${itself} ms, ratio" \
    "$(ratio "$itself" "$theirs") (aim: at most 0.50)"

# Without the firewalled machines: the client drops everything they send.
bash "$network" client "$state" nft -f - <<'NFT'
table ip bench {
    chain input {
        type filter hook input priority 0; policy accept;
        ip saddr { 10.211.74.15, 10.211.74.23 } drop
    }
}
NFT
without=$(median_of "$program" --relatorio)
bash "$network" client "$state" nft delete table ip bench
echo "without the firewalled machines: ${without} ms; they cost $((ours - without)) ms" \
    "(aim: at most 100 ms)"

bash "$network" tarpit-start "$state" >/dev/null
hostile=$(median_of "$program" --relatorio)
bash "$network" tarpit-stop "$state"
echo "with a hostile peer announcing 200 names: ${hostile} ms (bound: 3000 ms)"

#!/usr/bin/env bash
# The sweep against the tools an administrator would reach for, on the silent
# test network (tests/integration/silent_network.sh, in namespaces; needs root):
# `nmap -sn -n` and `arp-scan -l` (both as root) on its /24, against the sweep
# and its names alone (bench_sweep) and the whole command-line report, both run
# as an unprivileged user. Every run starts from an empty neighbour table but
# for the stale entry of the machine that left. Prints the medians and the
# ratios (aim: the sweep with its names in at most 0.35 of the faster tool's
# time, every machine found and named). Then a /23 with 50 live hosts: the
# report, within the refresh's deadline of 1.5 s.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS="vexormoralto bench_sweep"
NETWORK=silent_network.sh
export VEXOR_NETNS_PREFIX=${VEXOR_NETNS_PREFIX:-vxb}
. bench/network_bench_lib.sh
ensure_packages nmap arp-scan
runs=${BENCH_RUNS:-5}
program="$PWD/$build/src/vexormoralto"
sweep="$PWD/$build/bench/bench_sweep"

# Milliseconds of one run of "$@" in the client (as root, or as the user when
# the first word is "user"), from a cold neighbour table.
cold_run() {
    local how=client start end
    if [ "$1" = user ]; then
        how=user
        shift
    fi
    bash "$network" stale "$state"
    start=$(date +%s%N)
    bash "$network" "$how" "$state" "$@" >"$state/last-run.txt" 2>/dev/null || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median_of() { for _ in $(seq "$runs"); do cold_run "$@"; done | median; }

live=$(bash "$network" addresses "$state" | wc -l)
subnet=$(bash "$network" addresses "$state" | sed -n 1p | cut -d. -f1-3).0/24
nmap_ms=$(median_of nmap -sn -n "$subnet")
nmap_found=$(grep -c '^Nmap scan report' "$state/last-run.txt" || true)
arp_ms=$(median_of arp-scan -l -I eth0)
arp_found=$(grep -cE '^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+\s' "$state/last-run.txt" || true)
fastest=$((nmap_ms < arp_ms ? nmap_ms : arp_ms))

sweep_ms=$(median_of user "$sweep")
sweep_found=$(grep -c '^.* [0-9.]*$' "$state/last-run.txt" | tr -d ' ' || true)
echo "The sweep and its names alone (unprivileged), $live live machines and the client:"
sed -n '/^seconds=/!s/^/  /p' "$state/last-run.txt"

report_ms=$(median_of user "$program" --relatorio)
bash "$network" expected-report "$state" >"$state/expected.txt"
if cmp -s "$state/expected.txt" "$state/last-run.txt"; then
    named="every machine found and named"
else
    named="the report differs from the expected one"
fi

echo "Medians of $runs cold runs on the /24:"
echo "  nmap -sn -n (root):       ${nmap_ms} ms, $nmap_found hosts up (the client among them)"
echo "  arp-scan -l (root):       ${arp_ms} ms, $arp_found hosts answered"
echo "  sweep and names (user):   ${sweep_ms} ms, $sweep_found lines;" \
    "$(ratio "$sweep_ms" "$fastest") of the faster tool (aim: at most 0.35)"
echo "  whole report (user):      ${report_ms} ms, $named;" \
    "$(ratio "$report_ms" "$fastest") of the faster tool"

# The /23 with 50 live hosts, and a DNS server address where nothing answers.
bash "$network" down "$state" >/dev/null 2>&1 || true
export VEXOR_SILENT_LAYOUT=wide
bash "$network" up "$state" >/dev/null
wide_first=$(cold_run user "$program" --relatorio)
wide_listed=$(grep -c '^- ' "$state/last-run.txt" || true)
bash "$network" expected-report "$state" >"$state/expected-wide.txt"
cmp -s "$state/expected-wide.txt" "$state/last-run.txt" && wide_named="all listed, in order" ||
    wide_named="the report differs from the expected one"
wide_ms=$(median_of user "$program" --relatorio)
echo "A /23 with 50 live hosts (report, unprivileged): first ${wide_first} ms, median ${wide_ms} ms," \
    "$wide_listed machines listed, $wide_named (aim: all 50 within 1500 ms)"

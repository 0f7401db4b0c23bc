#!/usr/bin/env bash
# Accuracy of one check, side by side with the time tools users know, on the
# same jittery path: a user-space delay proxy (bench/delay_proxy.py) holds
# every TCP chunk and UDP datagram 20 ± 5 ms each way. Behind it: chronyd
# serving this machine's clock over NTP, and the reference service
# (borvane serve) for the panel's protocol and the HTTP Date header; the
# truth is 0 for both. Each row is CHECKS separate checks (new process each);
# the table gives |error| median, p90 and max in ms and seconds per check.
#
#   [CHECKS=100] [LOOPBACK_CHECKS=1000] [DELAY_MS=20] [JITTER_MS=5] [ROWS="own_1 ntp_8 ..."] \
#     bench/accuracy.sh [BUILD_DIR]
#
# Then, with no proxy in the way, the share of LOOPBACK_CHECKS checks that
# land within ±1 ms of the truth (own protocol and NTP, 8 samples each).
#
# Loopback only (the NTP path listens on 127.0.0.2:123, since ntpdate takes
# no port). Every server and tool runs without CAP_SYS_TIME, chronyd with -x:
# nothing here can set the clock.
set -euo pipefail

build=${1:-build/release}
checks=${CHECKS:-100}
delay=${DELAY_MS:-20}
jitter=${JITTER_MS:-5}
borvane=$build/borvane
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$borvane" ] || { echo "no borvane binary at $borvane (build it first)" >&2; exit 1; }
for tool in /usr/sbin/chronyd /usr/sbin/ntpdate /usr/sbin/htpdate /usr/bin/setpriv; do
  [ -x "$tool" ] || { echo "$tool is missing (scripts/setup.sh installs chrony, ntpsec-ntpdate, htpdate)" >&2; exit 1; }
done
nocap=(setpriv --bounding-set=-sys_time --inh-caps=-sys_time)

source "$here/common.sh"

ntp_port=$(free_port)
http_port=$(free_port)
proxy_port=$(free_port)
cat > "$work/chrony.conf" <<CONF
port $ntp_port
bindaddress 127.0.0.1
allow 127.0.0.0/8
local stratum 3
cmdport 0
pidfile $work/chronyd.pid
CONF
"${nocap[@]}" /usr/sbin/chronyd -x -d -u root -f "$work/chrony.conf" 2>"$work/chronyd.log" &
pids+=($!)
"${nocap[@]}" "$borvane" serve --listen "127.0.0.1:$http_port" >"$work/serve.log" &
pids+=($!)
python3 "$here/delay_proxy.py" --delay-ms "$delay" --jitter-ms "$jitter" \
  --tcp "127.0.0.1:$proxy_port=127.0.0.1:$http_port" --udp "127.0.0.2:123=127.0.0.1:$ntp_port" \
  >"$work/proxy.log" 2>&1 &
pids+=($!)
sleep 1.5

ms() { python3 -c "import sys; print(float(sys.argv[1]) * $1)" "$2"; }
json_offset() { python3 -c 'import json,sys; print(json.load(sys.stdin)["offset_ms"])'; }

# Each row: a function that prints one check's offset in ms (truth 0).
own_1() { "$borvane" query --json --service "http://127.0.0.1:$proxy_port" | json_offset; }
own_8() { "$borvane" query --json --samples 8 --service "http://127.0.0.1:$proxy_port" | json_offset; }
ntp_8() { "$borvane" query --json --samples 8 --service ntp://127.0.0.2 | json_offset; }
ntp_16() { "$borvane" query --json --samples 16 --service ntp://127.0.0.2 | json_offset; }
date_http() { "$borvane" query --json --service "date+http://127.0.0.1:$proxy_port/" | json_offset; }
chronyd_q() {
  # "System clock wrong by X seconds (ignored)"
  "${nocap[@]}" /usr/sbin/chronyd -Q -u root -t 20 "server 127.0.0.2 iburst" 2>&1 |
    sed -n 's/.*System clock wrong by \([-+0-9.e]*\) seconds.*/\1/p' | head -1 |
    { read -r s; ms 1000 "$s"; }
}
ntpdate_q() {
  # ntpdig's line: date time (zone) OFFSET +/- ERROR host stratum leap
  "${nocap[@]}" /usr/sbin/ntpdate -q 127.0.0.2 2>/dev/null | awk '/\+\/-/ {print $4; exit}' |
    { read -r s; ms 1000 "$s"; }
}
htpdate_q() {
  # The debug line "offset: X" is the measured offset; the final Offset line halves it.
  "${nocap[@]}" /usr/sbin/htpdate -q -d "http://127.0.0.1:$proxy_port/" 2>&1 |
    sed -n 's/^offset: *\([-+0-9.e]*\).*/\1/p' | tail -1 |
    { read -r s; ms 1000 "$s"; }
}

read -r -a rows <<<"${ROWS:-own_1 own_8 ntp_8 ntp_16 date_http chronyd_q ntpdate_q htpdate_q}"
declare -A label=(
  [own_1]="borvane, own protocol, N = 1"
  [own_8]="borvane, own protocol, N = 8"
  [ntp_8]="borvane, ntp://, N = 8"
  [ntp_16]="borvane, ntp://, N = 16"
  [date_http]="borvane, date+http://"
  [chronyd_q]="chronyd -Q (server iburst)"
  [ntpdate_q]="ntpdate -q (ntpsec)"
  [htpdate_q]="htpdate -q -d"
)
echo "| check | runs | failed | median ms | p90 ms | max ms | s per check |"
echo "|---|---:|---:|---:|---:|---:|---:|"
for row in "${rows[@]}"; do
  : >"$work/$row"
  failed=0
  start=$(date +%s.%N)
  for _ in $(seq "$checks"); do
    if value=$($row 2>/dev/null) && [ -n "$value" ]; then echo "$value" >>"$work/$row"; else failed=$((failed + 1)); fi
  done
  end=$(date +%s.%N)
  python3 - "$work/$row" "${label[$row]}" "$checks" "$failed" "$start" "$end" <<'PY'
import sys, statistics
path, label, checks, failed, start, end = sys.argv[1:]
errors = sorted(abs(float(v)) for v in open(path) if v.strip())
per = (float(end) - float(start)) / int(checks)
if not errors:
    print(f"| {label} | {checks} | {failed} | - | - | - | {per:.2f} |")
else:
    p90 = errors[min(len(errors) - 1, int(round(0.9 * (len(errors) - 1))))]
    print(f"| {label} | {checks} | {failed} | {statistics.median(errors):.2f} | {p90:.2f} | {errors[-1]:.2f} | {per:.2f} |")
PY
done

loopback=${LOOPBACK_CHECKS:-1000}
[ "$loopback" -gt 0 ] || exit 0
echo
echo "| on loopback, no proxy | runs | failed | within ±1 ms | max ms |"
echo "|---|---:|---:|---:|---:|"
for source in "http://127.0.0.1:$http_port" "ntp://127.0.0.1:$ntp_port"; do
  : >"$work/loopback"
  failed=0
  for _ in $(seq "$loopback"); do
    if value=$("$borvane" query --json --samples 8 --service "$source" 2>/dev/null | json_offset) &&
       [ -n "$value" ]; then echo "$value" >>"$work/loopback"; else failed=$((failed + 1)); fi
  done
  python3 - "$work/loopback" "$source" "$loopback" "$failed" <<'PY'
import sys
path, source, runs, failed = sys.argv[1:]
errors = [abs(float(v)) for v in open(path) if v.strip()]
within = sum(e <= 1 for e in errors) / int(runs) * 100
print(f"| {source.split(':')[0]}, N = 8 | {runs} | {failed} | {within:.1f} % | {max(errors, default=0):.2f} |")
PY
done

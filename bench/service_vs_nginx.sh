#!/usr/bin/env bash
# The reference time service beside a general web server, in one run on this
# machine: nginx serves a static file holding a time answer of the same 28
# bytes, and wrk loads both at c = 8, 64, 512 and 2000. Then, for each
# server, 10,000 idle kept-alive connections are held open while a new
# client asks once, and the server's resident memory is read.
#
#   [REPEATS=3] [IDLE_CONNECTIONS=10000] [THREADS=2] [CONNECTIONS="8 64 512 2000"] \
#     bench/service_vs_nginx.sh [BORVANE_BINARY] [SECONDS_PER_RUN]
#
# Both servers get the same number of threads: `borvane serve --threads N`
# and nginx with N worker processes; neither is pinned. CONNECTIONS picks the
# loads (CONNECTIONS="8 64" with a few more REPEATS is the quick look at the
# answer delay); the idle check runs only with the full set.
#
# wrk's percentiles count, for a request held up, the requests its
# connection would have sent meanwhile, so one stall of a few milliseconds
# weighs on p99. On a machine shared with other work such stalls come and
# go, so the runs of the two servers alternate, and the latency table gives
# each server's median of its runs beside the rate table's best run.
#
# Loopback only; both servers are started here and stopped on exit.
set -euo pipefail

borvane=${1:-build/release/borvane}
seconds=${2:-5}
repeats=${REPEATS:-3}
idle=${IDLE_CONNECTIONS:-10000}
threads=${THREADS:-2}
connections=${CONNECTIONS:-8 64 512 2000}
[ -x "$borvane" ] || { echo "no borvane binary at $borvane (build it first)" >&2; exit 1; }
command -v wrk >/dev/null || { echo "wrk is not installed (scripts/setup.sh)" >&2; exit 1; }
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || { echo "nginx is not installed (scripts/setup.sh)" >&2; exit 1; }

# Every connection is a descriptor, in wrk, in the idle holder and in the servers.
ulimit -n "$(ulimit -Hn)"

source "$(dirname "$0")/common.sh"

target='/times/nolvera.aspx?borvane=12345'
borvane_port=$(free_port)
"$borvane" serve --listen "127.0.0.1:$borvane_port" --threads "$threads" --idle-timeout 60 >"$work/borvane.log" 2>&1 &
borvane_pid=$!
pids+=("$borvane_pid")
wait_port "$borvane_port"

# nginx: the same answer as a static file, as many workers as the service
# has threads, keep-alive without a request cap, no access log.
nginx_port=$(free_port)
mkdir -p "$work/root/times" "$work/nginx"
curl -s "http://127.0.0.1:$borvane_port$target" >"$work/root/times/nolvera.aspx"
[ "$(stat -c %s "$work/root/times/nolvera.aspx")" = 28 ] || { echo "unexpected answer size" >&2; exit 1; }
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes $threads;
worker_rlimit_nofile $(ulimit -Hn);
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections $(( $(ulimit -Hn) - 100 )); }
http {
  access_log off;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  keepalive_requests 100000000;
  keepalive_timeout 60s;
  tcp_nodelay on;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/root;
    default_type "text/plain; charset=utf-8";
  }
}
CONF
"$nginx" -c "$work/nginx/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
pids+=("$nginx_pid")
wait_port "$nginx_port"

# Prints "rate p99 errors non2xx p50 p90" of one wrk run.
load() {
  local port=$1 connections=$2 out
  out=$(wrk -t2 -c"$connections" -d"${seconds}s" --latency "http://127.0.0.1:$port$target" 2>&1)
  local rate p50 p90 p99 errors
  rate=$(awk '/Requests\/sec/ {print $2}' <<<"$out")
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p90=$(awk '$1 == "90%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(awk '/Socket errors/ {print $4, $6, $8, $10}' <<<"$out" | tr -d ',')
  local non2xx
  non2xx=$(awk '/Non-2xx/ {print $4}' <<<"$out")
  echo "$rate $p99 ${errors:-0 0 0 0} ${non2xx:-0} $p50 $p90"
}

# The median of wrk's durations ("52.00us", "1.20ms", "2.01s"), in ms.
median_ms() {
  python3 - "$@" <<'PY'
import statistics, sys
scale = {"us": 1e-3, "ms": 1.0, "s": 1e3}
def ms(text):
    for unit in ("us", "ms", "s"):
        if text.endswith(unit):
            return float(text[: -len(unit)]) * scale[unit]
    raise ValueError(text)
print(f"{statistics.median(ms(t) for t in sys.argv[1:]):.2f}")
PY
}

echo "wrk -t2 -d${seconds}s --latency, the time answer, best of $repeats; borvane serve --threads $threads vs nginx ($threads workers)"
printf '%6s | %12s %9s %-16s | %12s %9s %-16s | %6s\n' c "borvane/s" p99 "errors c/r/w/t" "nginx/s" p99 "errors c/r/w/t" ratio
# Each server's best of `repeats` runs, taken in turns, so that load from
# elsewhere on the machine falls on both alike.
latency_rows=()
for c in $connections; do
  b_best=""; n_best=""
  b_lat=(); n_lat=()
  for _ in $(seq "$repeats"); do
    b_line=$(load "$borvane_port" "$c")
    n_line=$(load "$nginx_port" "$c")
    b_lat+=("$b_line"); n_lat+=("$n_line")
    if [ -z "$b_best" ] || python3 -c "import sys; sys.exit(0 if ${b_line%% *} > ${b_best%% *} else 1)"; then b_best=$b_line; fi
    if [ -z "$n_best" ] || python3 -c "import sys; sys.exit(0 if ${n_line%% *} > ${n_best%% *} else 1)"; then n_best=$n_line; fi
  done
  read -r b_rate b_p99 b_c b_r b_w b_t b_bad _ <<<"$b_best"
  read -r n_rate n_p99 n_c n_r n_w n_t n_bad _ <<<"$n_best"
  ratio=$(python3 -c "print(f'{$b_rate / $n_rate:.2f}x')")
  printf '%6s | %12s %9s %-16s | %12s %9s %-16s | %6s\n' "$c" "$b_rate" "$b_p99" "$b_c/$b_r/$b_w/$b_t" \
    "$n_rate" "$n_p99" "$n_c/$n_r/$n_w/$n_t" "$ratio"
  [ "$b_bad" = 0 ] || echo "  borvane: $b_bad answers were not 2xx"
  # Median of the runs: p50, p90, p99 (fields 8, 9, 2) and the rate.
  row=$c
  for runs in b_lat n_lat; do
    declare -n list=$runs
    p50s=(); p90s=(); p99s=(); rates=()
    for line in "${list[@]}"; do
      read -r rate p99 _ _ _ _ _ p50 p90 <<<"$line"
      p50s+=("$p50"); p90s+=("$p90"); p99s+=("$p99"); rates+=("$rate")
    done
    unset -n list
    row+=" $(median_ms "${p50s[@]}") $(median_ms "${p90s[@]}") $(median_ms "${p99s[@]}")"
    row+=" $(python3 -c "import statistics, sys; print(round(statistics.median(map(float, sys.argv[1:]))))" "${rates[@]}")"
  done
  latency_rows+=("$row")
done

echo
echo "latency in ms and answers/s, each the median of the $repeats runs of that server"
printf '%6s | %7s %7s %7s %9s | %7s %7s %7s %9s\n' c "b p50" "b p90" "b p99" "b /s" "n p50" "n p90" "n p99" "n /s"
for row in "${latency_rows[@]}"; do
  # shellcheck disable=SC2086
  printf '%6s | %7s %7s %7s %9s | %7s %7s %7s %9s\n' $row
done

# Holds `idle` kept-alive connections (each has sent one request and read
# its answer), then times one new client's query, and prints it with the
# server's resident memory.
idle_check() {
  local port=$1 pid=$2
  python3 - "$port" "$pid" "$idle" "$target" <<'PY'
import socket, sys, time
port, pid, count, target = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), sys.argv[4]
request = f"GET {target} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode()
def ask(sock):
    sock.sendall(request)
    data = b""
    while b"\r\n\r\n" not in data or len(data.split(b"\r\n\r\n", 1)[1]) < 28:
        chunk = sock.recv(4096)
        if not chunk:
            raise RuntimeError("closed")
        data += chunk
    return data
held = []
for _ in range(count):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    ask(s)
    held.append(s)
worst = 0.0
for _ in range(5):
    start = time.perf_counter()
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    ask(s)
    worst = max(worst, time.perf_counter() - start)
    s.close()
def rss(p):
    total = 0
    for q in p.split(","):
        with open(f"/proc/{q}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    total += int(line.split()[1])
    return total
alive = 0
for s in held:
    s.setblocking(False)
    try:
        alive += 1 if s.recv(1) else 0
    except BlockingIOError:
        alive += 1
print(f"{worst * 1000:.2f} ms (worst of 5 new clients), {rss(pid) / 1024:.1f} MB resident, {alive} of {count} idle still open")
PY
}

if [ "$connections" = "8 64 512 2000" ]; then
  nginx_workers=$(pgrep -P "$nginx_pid" | paste -sd, -)
  echo
  echo "with $idle idle kept-alive connections held:"
  echo "  borvane: $(idle_check "$borvane_port" "$borvane_pid")"
  echo "  nginx (master and workers): $(idle_check "$nginx_port" "$nginx_pid,$nginx_workers")"
fi

kill -INT "$borvane_pid"
wait "$borvane_pid" || true
echo
tail -n 1 "$work/borvane.log"

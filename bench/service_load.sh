#!/usr/bin/env bash
# Load on the label service. The program serves on a free loopback port; wrk posts the fixture
# label request (PrintGeoLabelAsPDF, bench/service_load.lua) over 1, 8 and 64 connections and
# reports labels per second and the 99th percentile of the latency. In the same run
# label_pdf_bench times the same request's label made in-process (ServiceFixtureToPdf: the fixture
# record mapped onto a new module, printed to PDF, the module freed), the floor the service is
# measured against:
#   - 1 connection: the service's time per label at most 1.25 times the in-process time, both
#     measured in alternating rounds (ROUNDS, 5 by default) and compared by their medians;
#   - 8 connections: at least 0.7 x min(8, cores) times the 1-connection rate;
#   - 64 connections: no socket error and no failed answer but the HTTP layer's 503 past its
#     work cap (counted).
# Exit code 0 when every target is met, 1 otherwise.
#
#   bench/service_load.sh    (BUILD_DIR=build, DURATION=20s per run; the 1-connection rounds share it)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
DURATION="${DURATION:-20s}"
install_missing "${BUILD_PACKAGES[@]}" libbenchmark-dev wrk curl
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" -DVGL_BUILD_TESTS=ON \
        -DVGL_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$BUILD_DIR" --target geolabel_service label_pdf_bench

CORES="$(nproc)"
FIXTURE="$ROOT/tests/service/host/data/fixture_request.xml"
WORK="$(mktemp -d /tmp/vgl_service_load_XXXXXX)"
SERVICE_PID=""
cleanup() {
    if [ -n "$SERVICE_PID" ]; then
        kill -TERM "$SERVICE_PID" 2>/dev/null || true
        wait "$SERVICE_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

# A copy of the program in a folder of its own (its log goes there), on a free port.
cp "$BUILD_DIR/service/geolabel_service" "$WORK/"
PORT="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
"$WORK/geolabel_service" -standalone "-port=$PORT" >"$WORK/service.out" 2>&1 &
SERVICE_PID=$!
URL="http://127.0.0.1:$PORT/SOAP"
post() {
    curl -s -o /dev/null -w '%{http_code}' -H 'Content-Type: text/xml; charset=utf-8' \
        -H 'SOAPAction: "urn:VelmoraGeoLabelServiceLib-VelmoraGeoLabelService#PrintGeoLabelAsPDF"' \
        --data-binary "@$FIXTURE" "$URL" || true
}
for _ in $(seq 1 300); do
    [ "$(post)" = "200" ] && break
    sleep 0.1
done
if [ "$(post)" != "200" ]; then
    echo "service_load: the service does not answer on port $PORT" >&2
    cat "$WORK/service.out" >&2
    exit 1
fi
for _ in 1 2 3 4 5; do post >/dev/null; done # warm-up

# The floor: one label in-process, milliseconds per label (label_pdf_bench ServiceFixtureToPdf,
# one run of 2 s).
floor_ms() {
    "$BUILD_DIR/bench/label_pdf_bench" --benchmark_filter='^ServiceFixtureToPdf$' --benchmark_min_time=2 \
        --benchmark_format=csv 2>/dev/null >"$WORK/bench.csv"
    local ms
    ms="$(awk -F, '$1 ~ /^"?ServiceFixtureToPdf/ { print $3 }' "$WORK/bench.csv")"
    if [ -z "$ms" ]; then
        echo "service_load: label_pdf_bench gave no time" >&2
        cat "$WORK/bench.csv" >&2
        exit 1
    fi
    echo "$ms"
}

# One wrk run; sets requests, duration_us, p99_us, non200, status503 and the e_* socket errors.
run_wrk() { # connections duration
    local connections="$1" duration="$2"
    # Two client threads keep up with the service and leave the other cores to it; the 503s are
    # counted only where they are expected.
    local threads=$((connections < 2 ? connections : 2)) count503=""
    [ "$connections" -gt 8 ] && count503=1
    local line
    line="$(VGL_FIXTURE_REQUEST="$FIXTURE" VGL_COUNT_503="$count503" wrk -t "$threads" -c "$connections" -d "$duration" \
        --timeout 30s -s "$ROOT/bench/service_load.lua" "$URL" | grep '^RESULT')"
    eval "$(echo "$line" | sed 's/^RESULT //')"
}

declare -A RATE P99 FAILED N503 SOCKET

# One connection: rounds of the floor and of the service in turn, so that the machine's load
# drifting during the run weighs on both sides alike; each side's median round is compared.
ROUNDS="${ROUNDS:-5}"
ROUND_SECONDS="$(awk -v d="${DURATION%s}" -v r="$ROUNDS" 'BEGIN { s = int(d / r + 0.5); print (s < 2 ? 2 : s) }')"
FLOORS=()
SERVICE_MS=()
total_requests=0 total_us=0 total_failed=0 total_socket=0 worst_p99=0
for _ in $(seq 1 "$ROUNDS"); do
    FLOORS+=("$(floor_ms)")
    run_wrk 1 "${ROUND_SECONDS}s"
    SERVICE_MS+=("$(awk -v r="$requests" -v f="$non200" -v d="$duration_us" 'BEGIN { printf "%.3f", (r > f) ? d / 1000 / (r - f) : 1e9 }')")
    total_requests=$((total_requests + requests))
    total_us=$((total_us + duration_us))
    total_failed=$((total_failed + non200))
    total_socket=$((total_socket + e_connect + e_read + e_write + e_timeout))
    [ "$p99_us" -gt "$worst_p99" ] && worst_p99="$p99_us"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
LABEL_MS="$(median "${FLOORS[@]}")"
SERVICE_LABEL_MS="$(median "${SERVICE_MS[@]}")"
RATE[1]="$(awk -v r="$total_requests" -v f="$total_failed" -v d="$total_us" 'BEGIN { printf "%.2f", (r - f) / (d / 1e6) }')"
P99[1]="$(awk -v p="$worst_p99" 'BEGIN { printf "%.1f", p / 1000 }')"
FAILED[1]="$total_failed"
N503[1]=0
SOCKET[1]="$total_socket"

for connections in 8 64; do
    run_wrk "$connections" "$DURATION"
    # Labels are the answers with status 200 (the failed ones are counted apart).
    RATE[$connections]="$(awk -v r="$requests" -v f="$non200" -v d="$duration_us" 'BEGIN { printf "%.2f", (r - f) / (d / 1e6) }')"
    P99[$connections]="$(awk -v p="$p99_us" 'BEGIN { printf "%.1f", p / 1000 }')"
    FAILED[$connections]="$non200"
    N503[$connections]="$status503"
    SOCKET[$connections]=$((e_connect + e_read + e_write + e_timeout))
done

ok=1
verdict() { if [ "$1" = 1 ]; then echo "met"; else ok=0; echo "NOT MET"; fi; }
printf '\n%d rounds at one connection; label_pdf_bench ServiceFixtureToPdf ms per label: %s (median %.2f); the service: %s (median %.2f); %d cores\n\n' \
    "$ROUNDS" "${FLOORS[*]}" "$LABEL_MS" "${SERVICE_MS[*]}" "$SERVICE_LABEL_MS" "$CORES"
printf '%-12s %14s %12s %10s %8s %14s\n' connections "labels/s" "p99 ms" "failed" "503" "socket errors"
for c in 1 8 64; do
    printf '%-12s %14s %12s %10s %8s %14s\n' "$c" "${RATE[$c]}" "${P99[$c]}" "${FAILED[$c]}" "${N503[$c]}" "${SOCKET[$c]}"
done
echo
ratio1="$(awk -v s="$SERVICE_LABEL_MS" -v l="$LABEL_MS" 'BEGIN { printf "%.3f", s / l }')"
echo "1 connection: ${SERVICE_LABEL_MS} ms per label (median round) = ${ratio1} x label_pdf_bench (target <= 1.25): $(verdict "$(awk -v x="$ratio1" 'BEGIN { print (x <= 1.25) }')")"
parallel=$((CORES < 8 ? CORES : 8))
ratio8="$(awk -v a="${RATE[8]}" -v b="${RATE[1]}" -v p="$parallel" 'BEGIN { printf "%.3f", a / (p * b) }')"
echo "8 connections: ${RATE[8]} labels/s = ${ratio8} x min(8, cores) x the 1-connection rate (target >= 0.7): $(verdict "$(awk -v x="$ratio8" 'BEGIN { print (x >= 0.7) }')")"
echo "64 connections: ${SOCKET[64]} socket errors, ${FAILED[64]} failed answers of which ${N503[64]} are 503 (target: no error but 503): $(verdict "$([ "${SOCKET[64]}" = 0 ] && [ "${FAILED[64]}" = "${N503[64]}" ] && echo 1 || echo 0)")"
[ "$ok" = 1 ]

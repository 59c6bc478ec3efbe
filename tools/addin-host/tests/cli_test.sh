#!/usr/bin/env bash
# addin-host as a user runs it, against the printer simulator: single calls,
# the shift scenario, failures expected and unexpected, the trace, and the
# errors for bad names, arguments, libraries and ports.
# usage: cli_test.sh ADDIN_HOST DATECS_SIM LIBRARY SCENARIO_DIR
set -u
HOST="$1" SIM="$2" LIB="$3" SCENARIOS="$4"
WORK="$(mktemp -d)"
SIM_PID=""
trap 'stop_sim; rm -rf "$WORK"' EXIT
passed=0 failed=0

start_sim() {
  : >"$WORK/tape"
  "$SIM" --tape "$WORK/tape" >"$WORK/sim.out" 2>/dev/null &
  SIM_PID=$!
  for _ in $(seq 50); do
    PORT="$(head -n1 "$WORK/sim.out" 2>/dev/null)"
    [[ -n "$PORT" ]] && return
    sleep 0.1
  done
  echo "datecs-sim did not start"; exit 1
}
stop_sim() {
  if [[ -n "$SIM_PID" ]]; then kill "$SIM_PID" 2>/dev/null; wait "$SIM_PID" 2>/dev/null; SIM_PID=""; fi
}
# A printer of its own for each run: like a real one, the simulator answers a
# request that repeats the last sequence byte with its last answer, and a new
# run's first sequence byte comes from the clock, so two runs in a row on one
# printer can meet on the same byte.
fresh_sim() { stop_sim; start_sim; }

# check NAME EXPECTED_STATUS PATTERN... -- COMMAND...: runs COMMAND, wants
# that exit status and every PATTERN (extended regex) in its output.
check() {
  local name="$1" want="$2"; shift 2
  local patterns=()
  while [[ "$1" != "--" ]]; do patterns+=("$1"); shift; done
  shift
  "$@" >"$WORK/out" 2>&1
  local got=$? ok=1
  [[ "$got" == "$want" ]] || ok=0
  for p in "${patterns[@]}"; do grep -Eq -- "$p" "$WORK/out" || { ok=0; echo "  missing: $p"; }; done
  if ((ok)); then
    passed=$((passed + 1)); echo "ok   $name"
  else
    failed=$((failed + 1)); echo "FAIL $name (exit $got, wanted $want)"; sed 's/^/  | /' "$WORK/out" | head -40
  fi
}

scenario() { printf '%s\n' "$@" >"$WORK/scenario"; echo "$WORK/scenario"; }
CONNECT=('SetParameter "Port" $port' 'Open >device')

# Calls without a printer.
check "a function call by English name" 0 'result "ver\.3\.0 17\.03\.2017"' '=> ok' -- "$HOST" --lib "$LIB" call GetVersion
check "the same call by Russian name" 0 'result "ver\.3\.0' -- "$HOST" --lib "$LIB" call ПолучитьНомерВерсии
check "the procedure form on request" 0 'proc GetVersion\(\)' -- "$HOST" --lib "$LIB" call proc GetVersion
check "methods with defaults" 0 '^16 SellArticul / ПродатьАртикул \(4\)' '3: default "1\.00"' '^81 ReadQRExt' -- "$HOST" --lib "$LIB" methods
check "unknown method" 2 'unknown method sellarticul \(did you mean SellArticul' -- "$HOST" --lib "$LIB" call sellarticul
check "malformed argument" 2 "ui1:300" -- "$HOST" --lib "$LIB" call OpenPort ui1:300
check "too many arguments" 2 'ResetReceipt takes 1 argument, 2 given' -- "$HOST" --lib "$LIB" call ResetReceipt 1 2
check "missing library" 2 'no library at /nonexistent' -- "$HOST" --lib /nonexistent/lib.so call GetVersion
check "a scenario line that is wrong stops the run before any call" 2 ':2: unknown method Nope' -- \
  "$HOST" --lib "$LIB" run "$(scenario 'GetVersion' 'Nope 1')"

# The shift against the simulator.
start_sim
check "the shift scenario" 0 '33 calls: 33 ok, 0 failed as expected, 0 unexpected' 'out\[0\] "DT000001"' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$SCENARIOS/shift.txt"
stop_sim
for line in "SALE RECEIPT" "REFUND RECEIPT" "X REPORT" "Z REPORT" "CARD 21.00"; do
  if grep -q "$line" "$WORK/tape"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL tape lacks $line"; fi
done

start_sim
check "the equipment-library scenario" 0 '9 calls: 9 ok, 0 failed as expected, 0 unexpected' 'out\[0\] "Нет ошибки: 0000"' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$SCENARIOS/equipment.txt"
stop_sim
if grep -q "Z REPORT" "$WORK/tape"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL no Z report from the equipment scenario"; fi

# Failures: a refusal fails the run; marked as expected it does not; a
# success where a failure was expected does.
fresh_sim
check "a printer refusal is a failure" 1 'FAIL: printer error 000B' 'ErrorCode 000B' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$(scenario "${CONNECT[@]}" 'SellArticul')"
fresh_sim
check "a refusal marked !000B is expected" 0 'ok, failed as expected \(printer error 000B\)' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$(scenario "${CONNECT[@]}" '!000B SellArticul')"
fresh_sim
check "a refusal with another code than expected" 1 'FAIL: failed with 000B, expected 0006' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$(scenario "${CONNECT[@]}" '!0006 SellArticul')"
fresh_sim
check "a success marked ! is a failure" 1 'FAIL: succeeded, expected to fail' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$(scenario "${CONNECT[@]}" '! IsRegExist')"
fresh_sim
check "a false answer is a failure" 1 'FAIL: the component answered false' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$(scenario "${CONNECT[@]}" 'Close "no-such-device"')"
fresh_sim
check "--stop-on-error stops at the first failure" 1 'stopped at line 3' '3 calls: 2 ok, 0 failed as expected, 1 unexpected, 1 not run' -- \
  "$HOST" --lib "$LIB" --stop-on-error --var port="$PORT" run "$(scenario "${CONNECT[@]}" 'SellArticul' 'IsRegExist')"
fresh_sim
check "a result check" 1 'FAIL: result ui4:1, expected 0' -- \
  "$HOST" --lib "$LIB" --var port="$PORT" run "$(scenario "${CONNECT[@]}" 'IsRegExist == 0')"

# The trace: both directions decoded and in hex.
fresh_sim
check "the trace" 0 'trace: the component talks to /dev/pts/[0-9]+, relayed to '"$PORT" \
  'PC>FP request len 17 seq .. cmd 4C \(76 identity\)' 'data "482915;"' \
  'FP>PC answer  len .. seq .. cmd 4C' 'error "0000", 4 fields \[0\]"DT000001"' 'status 80 80 80 80 80 80' \
  '^ +01 2B .. 4C 34 38 32 39 31 35 3B 05' -- \
  "$HOST" --lib "$LIB" --trace --var port="$PORT" run "$(scenario "${CONNECT[@]}")"
stop_sim

# Ports that are not there.
check "a missing port" 1 'FAIL: the component answered false \(port /dev/nonexistent-port does not exist\)' -- \
  "$HOST" --lib "$LIB" --var port=/dev/nonexistent-port run "$(scenario "${CONNECT[@]}")"
check "a missing port under --trace" 2 'cannot open port /dev/nonexistent-port' -- \
  "$HOST" --lib "$LIB" --trace --var port=/dev/nonexistent-port run "$(scenario "${CONNECT[@]}")"

check "OpenPort on a missing port" 1 'FAIL: OpenPort answered 1: the port was not opened \(port /dev/ttyS199 does not exist\)' -- \
  "$HOST" --lib "$LIB" call OpenPort 200
check "a command without an open port" 1 'FAIL: no answer from the printer \(the port is not open\)' -- \
  "$HOST" --lib "$LIB" call PrintXReportL

echo "addin-host: $passed passed, $failed failed"
((failed == 0))

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
check "methods with defaults" 0 '^16 SellArticul / ПродатьАртикул \(4\) \[prints\]' '3: default "1\.00"' '^81 ReadQRExt' -- "$HOST" --lib "$LIB" methods
check "unknown method" 2 'unknown method sellarticul \(did you mean SellArticul\? names are case-sensitive\)' -- "$HOST" --lib "$LIB" call sellarticul
check "unknown property" 2 'unknown property Baudd \(did you mean Baud\?' -- "$HOST" --lib "$LIB" run "$(scenario 'get Baudd')"

# methods NAME: the reference's section; a wrong name is an error with the
# nearest names, English or Russian.
"$HOST" --lib "$LIB" methods SellArticul >"$WORK/section" 2>&1
if awk '/^### SellArticul$/{p=1;print;next} p&&/^### /{exit} p' "$SCENARIOS/../../docs/methods.md" | cmp -s - "$WORK/section"; then
  passed=$((passed + 1)); echo "ok   methods NAME prints the section of docs/methods.md"
else
  failed=$((failed + 1)); echo "FAIL methods NAME differs from docs/methods.md"; head -20 "$WORK/section"
fi
while IFS='|' read -r typed want; do
  check "methods $typed" 2 "unknown method $typed \\(did you mean $want" -- "$HOST" --lib "$LIB" methods "$typed"
done <<'CASES'
closereceipt|CloseReceipt\? names are case-sensitive
CloseReciept|CloseReceipt
закрытьчек|ЗакрытьЧек\? names are case-sensitive
ПродатьАртикл|ПродатьАртикул
CASES
check "methods with a name nothing is near" 2 'unknown method Frobnicate \(addin-host methods lists them\)' -- "$HOST" --lib "$LIB" methods Frobnicate
check "methods by its Russian name" 0 '^### CloseReceipt$' 'also that of `CloseCheck`' -- "$HOST" --lib "$LIB" methods ЗакрытьЧек
check "malformed argument" 2 "ui1:300" -- "$HOST" --lib "$LIB" call OpenPort ui1:300
check "too many arguments" 2 'ResetReceipt takes 1 argument, 2 given' -- "$HOST" --lib "$LIB" call ResetReceipt 1 2
check "missing library" 2 'no library at /nonexistent' -- "$HOST" --lib /nonexistent/lib.so call GetVersion
check "a scenario line that is wrong stops the run before any call" 2 ':2: unknown method Nope' -- \
  "$HOST" --lib "$LIB" run "$(scenario 'GetVersion' 'Nope 1')"
# A variable nothing gives a value: named with its line, and nothing runs
# (no call header is printed). Kept values, $result and get count as given.
check "a scenario variable without --var" 2 'scenario:1: \$port has no value: give it with --var port=VALUE' \
  'scenario:5: \$nothing has no value' -- \
  "$HOST" --lib "$LIB" run "$(scenario "${CONNECT[@]}" 'GetVersion == $result' 'get Baud' 'RetItem $device $nothing' 'RetItem $Baud')"
if grep -qE '^\[|scenario:[236]:' "$WORK/out"; then failed=$((failed + 1)); echo "FAIL a call ran, or a given variable was refused"; else passed=$((passed + 1)); fi
check "a call's variable without --var" 2 'call 2: \$x has no value' -- "$HOST" --lib "$LIB" call GetVersion -- RetItem '$x'

# set reports what the property reads afterwards; a write that changes
# nothing is a failure.
check "set that changes nothing" 1 'FAIL set Baud -> accepted, but Baud still reads ui4:9600' \
  'FAIL set IsOpen -> accepted, but IsOpen still reads false' '2 unexpected' -- \
  "$HOST" --lib "$LIB" run "$(scenario 'set Baud 19200' 'set IsOpen true')"
check "set expected not to take" 0 'ok   set Baud -> accepted, but Baud still reads' -- \
  "$HOST" --lib "$LIB" run "$(scenario '! set Baud 19200')"

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

# The equipment library's whole road: Boolean results, a refused Z report
# with its reason, a missing port with its reason.
start_sim
check "the equipment library's road" 0 '20 calls: 18 ok, 2 failed as expected, 0 unexpected' \
  'out\[0\] "Неверное состояние документа: 000B"' 'out\[0\] "Порт /dev/nonexistent-port не найден: 01FF"' -- \
  "$HOST" --lib "$LIB" --yes --var port="$PORT" run "$SCENARIOS/equipment-library.txt"
stop_sim

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
check "the trace" 0 "trace: $PORT, relayed through the pty /dev/pts/[0-9]+ that the component is given" \
  'PC>FP request len 17 seq .. cmd 4C \(76 identity\)' 'data "482915;"' \
  'FP>PC answer  len .. seq .. cmd 4C' 'error "0000", 4 fields \[0\]"DT000001"' 'status 80 80 80 80 80 80' \
  '^ +01 2B .. 4C 34 38 32 39 31 35 3B 05' -- \
  "$HOST" --lib "$LIB" --trace --var port="$PORT" run "$(scenario "${CONNECT[@]}")"
# The call shows the user's port, and every trace line comes under the
# header of the call that sent it: none before the first header, the relay's
# start under SetParameter, both frames of Open under Open.
if grep -q "SetParameter(\"Port\", \"$PORT\")" "$WORK/out" &&
   awk '/^\[line 1\]/{h=1} /^trace:|PC>FP|FP>PC/{if(!h) bad=1} /^\[line 2\]/{two=1} /cmd 4C/{if(!two) bad=1} END{exit bad}' "$WORK/out"; then
  passed=$((passed + 1)); echo "ok   the trace under each call, naming the user's port"
else
  failed=$((failed + 1)); echo "FAIL the trace's order or port"; head -20 "$WORK/out" | sed 's/^/  | /'
fi
stop_sim

# Several calls on one component, and --port opening first: a path goes
# through SetParameter "Port" and Open, a number through OpenPort.
fresh_sim
check "several calls and --port" 0 '^\[--port\] SetParameter\("Port", "'"$PORT"'"\)' '^\[--port\] Open' \
  '^\[call 2\] IsRegExist' '^\[call 3\] RetItem\("482915", 7\)' '^\[--port\] Close\("DT000001"\)' -- \
  "$HOST" --lib "$LIB" --port "$PORT" --speed 115200 call GetVersion -- IsRegExist -- RetItem _ 7 == '"DT000001"' 
check "a failing --port makes no call" 1 'the port was not opened, no call was made' -- \
  "$HOST" --lib "$LIB" --port /dev/nonexistent-port call IsRegExist
check "--port with a number opens through OpenPort" 1 '^\[--port\] OpenPort\(200, 9600\)' 'no call was made' -- \
  "$HOST" --lib "$LIB" --port 200 --speed 9600 call IsRegExist
check "a literal -- is quoted" 0 'RetItem\("--", 0\)' -- "$HOST" --lib "$LIB" call RetItem '"--"' 0

# Every example of the help runs as printed against the simulator (its
# /dev/pts/3 is the simulator's pty here), without being asked anything.
while read -r example; do
  fresh_sim
  words="${example/\/dev\/pts\/3/$PORT}" host="'$HOST' --lib '$LIB'"
  check "help example: $example" 0 -- bash -c "cd '$SCENARIOS' && ${words/addin-host/$host} </dev/null"
done < <("$HOST" --help | sed -n '/^Examples/,$p' | sed -n 's/^  \(addin-host .*\)$/\1/p')
stop_sim

# Verdicts from what the properties say after the call: a silent printer is
# "no answer" with no word of a closed port for the calls that open it
# themselves; a closed port is named only when it was closed before and
# after; a Close that worked is ok. name|status|port|steps (";" between)|pattern
SILENT="$(mktemp -u "$WORK/silent.XXXX")"
python3 -c 'import os,pty,sys,time; m,s=pty.openpty(); os.symlink(os.ttyname(s), sys.argv[1]); time.sleep(120)' "$SILENT" &
SILENT_PID=$!
for _ in $(seq 50); do [[ -e "$SILENT" ]] && break; sleep 0.1; done
while IFS='|' read -r name want port steps pattern; do
  [[ "$port" == sim ]] && { fresh_sim; port="$PORT"; }
  [[ "$port" == silent ]] && port="$SILENT"
  IFS=';' read -ra lines <<<"$steps"
  check "verdict: $name" "$want" "$pattern" -- "$HOST" --lib "$LIB" --var port="$port" run "$(scenario "${lines[@]}")"
  if grep -q "$pattern.*port is not open" "$WORK/out" && [[ "$name" != *"not open"* ]]; then failed=$((failed + 1)); echo "FAIL $name names a closed port"; fi
done <<'CASES'
a silent DeviceTest|1|silent|SetParameter "Port" $port;DeviceTest >a >b|FAIL: no answer from the printer$
a Close that worked|0|sim|SetParameter "Port" $port;Open >d;Close $d|Close\("DT000001"\)
ClosePort after a silent test, not open|1|silent|SetParameter "Port" $port;DeviceTest >a >b;ClosePort|same as before this call; the port is not open
a report with no port open, not open|1|sim|PrintXReportL|no answer from the printer \(the port is not open\)
CASES
kill "$SILENT_PID" 2>/dev/null; wait "$SILENT_PID" 2>/dev/null

# Printing on a real port (anything but a pty) is confirmed first: refused
# without a terminal, run with --yes or YES typed on a terminal. The port
# here does not exist, so nothing can print whatever the answer.
REAL=/dev/nonexistent-port
check "printing on a real port without a terminal" 2 'REAL PRINTER on /dev/nonexistent-port' 'PrintXReportL' \
  'no terminal to confirm on: nothing was sent; add --yes' -- "$HOST" --lib "$LIB" --port "$REAL" call PrintXReportL
if grep -q '^\[' "$WORK/out"; then failed=$((failed + 1)); echo "FAIL a call ran unconfirmed"; else passed=$((passed + 1)); fi
check "printing on a real port with --yes" 1 'REAL PRINTER' 'no call was made' -- \
  "$HOST" --lib "$LIB" --yes --port "$REAL" call PrintXReportL
check "a real port without printing asks nothing" 1 '^\[--port\] Open' -- "$HOST" --lib "$LIB" --port "$REAL" call GetVersion
check "a scenario's OpenPort is a real port" 2 'REAL PRINTER on /dev/ttyS2' -- \
  "$HOST" --lib "$LIB" run "$(scenario 'OpenPort 3' 'OpenCashDrawer "x"')"
if command -v script >/dev/null; then
  check "YES typed on a terminal" 0 'Type YES to go on' 'the port was not opened' -- \
    bash -c "(sleep 1; echo YES) | script -qec \"'$HOST' --lib '$LIB' --port $REAL call PrintXReportL; test \\\$? = 1\" /dev/null"
  check "anything else typed" 0 'not confirmed: nothing was sent' -- \
    bash -c "(sleep 1; echo no) | script -qec \"'$HOST' --lib '$LIB' --port $REAL call PrintXReportL; test \\\$? = 2\" /dev/null"
fi

# Ports that are not there.
check "a missing port" 1 'FAIL: the result is false \(port /dev/nonexistent-port does not exist\)' -- \
  "$HOST" --lib "$LIB" --var port=/dev/nonexistent-port run "$(scenario "${CONNECT[@]}")"
check "a missing port under --trace" 2 'cannot open port /dev/nonexistent-port' -- \
  "$HOST" --lib "$LIB" --trace --var port=/dev/nonexistent-port run "$(scenario "${CONNECT[@]}")"

check "OpenPort on a missing port" 1 'FAIL: OpenPort answered 1: the port was not opened \(port /dev/ttyS199 does not exist\)' -- \
  "$HOST" --lib "$LIB" call OpenPort 200

echo "addin-host: $passed passed, $failed failed"
((failed == 0))

#!/usr/bin/env bash
# The Windows addin-host under wine runs a scenario with --trace against the
# printer simulator through a COM port of the wine prefix, and the Linux
# addin-host runs the same scenario with --trace against a simulator of its
# own. Both runs must succeed, and the two traces must show the same frames
# in the same order: each request's command and data, each answer's command,
# error code and number of fields, and the checks of length byte and
# checksum. Sequence bytes, times and the answers' field texts (the printer's
# clock) are left out of the comparison.
#
#   trace-wine.sh BUILD_DIR SIMULATOR win64|win32 LINUX_ADDIN_HOST LINUX_LIBRARY SCENARIO
#
# BUILD_DIR holds addin-host.exe and AddInNativeOstrel.dll; the wine prefix
# lives in BUILD_DIR/wine, COM7 is the simulator's.
set -euo pipefail
build="$(cd "$1" && pwd)"
sim="$2" arch="$3" linux_host="$4" linux_lib="$5" scenario="$(realpath "$6")"

name=trace-wine
source "$(dirname "$0")/wine-common.sh"
if [[ -n "${TRACE_WINE_KEEP:-}" ]]; then
  trap 'cp "$work"/*.trace "$work"/*.frames "$TRACE_WINE_KEEP"/ 2>/dev/null; wine_cleanup' EXIT
fi

start_sim "$WINEPREFIX/dosdevices/com7" "$work/win-sim.out" --tape "$work/win-tape.txt"
start_sim "" "$work/linux-sim.out" --tape "$work/linux-tape.txt"

# Wine's ANSI code page must be Windows-1251, the printer's, for the
# Cyrillic texts to reach the line as they do from Linux.
if ! russian_locale; then
  echo "trace-wine: no ru_RU locale could be built; Cyrillic data would differ" >&2
  exit 1
fi

status=0
LOCPATH="$work/locale" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 timeout 600 wine "$(winpath "$build/addin-host.exe")" \
  --lib "$(winpath "$build/AddInNativeOstrel.dll")" --yes --trace --var port=COM7 run "$(winpath "$scenario")" \
  2>&1 | tr -d '\r' >"$work/win.trace" || status=$?
wineserver -k >/dev/null 2>&1 || true
timeout 300 "$linux_host" --lib "$linux_lib" --trace --var port="$(head -n1 "$work/linux-sim.out")" run "$scenario" \
  >"$work/linux.trace" 2>&1 || status=$?

# The frames of a trace, one line each.
frames() {
  awk '
    / (PC>FP|FP>PC) (request|answer) / {
      dir = ($2 == "PC>FP" || $2 == "FP>PC") ? $2 : $3
      match($0, /cmd [0-9A-F][0-9A-F]/); cmd = substr($0, RSTART, RLENGTH)
      flags = ""
      if ($0 ~ /not checked/) flags = flags " unchecked"
      if ($0 ~ /LENGTH BYTE WRONG/) flags = flags " bad-length"
      if ($0 ~ /CHECKSUM WRONG/) flags = flags " bad-checksum"
      head = dir " " cmd flags; next
    }
    head != "" && /^ +data / { sub(/^ +/, ""); print head " " $0; head = ""; next }
    head != "" && /^ +error / { sub(/^ +/, ""); sub(/ \[0\].*/, ""); print head " " $0; head = ""; next }
  ' "$1"
}
frames "$work/win.trace" >"$work/win.frames"
frames "$work/linux.trace" >"$work/linux.frames"

check() {
  if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; status=1; fi
}
check "the Windows run: every call as expected" "grep -q ' 0 unexpected' '$work/win.trace'"
check "the Linux run: every call as expected" "grep -q ' 0 unexpected' '$work/linux.trace'"
check "the Windows trace names the port" "grep -q \"trace: watching the component's own calls to COM7\" '$work/win.trace'"
check "the Windows trace has frames both ways" \
  "grep -q '^PC>FP' '$work/win.frames' && grep -q '^FP>PC' '$work/win.frames'"
check "both traces: the same $(wc -l <"$work/linux.frames") frames" "diff '$work/linux.frames' '$work/win.frames' >'$work/diff'"

# The equipment library's road, by the Windows host on the same COM port:
# its Boolean results, a refused Z report and a missing port with reasons.
road="$(dirname "$scenario")/equipment-library.txt"
LOCPATH="$work/locale" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 timeout 600 wine "$(winpath "$build/addin-host.exe")" \
  --lib "$(winpath "$build/AddInNativeOstrel.dll")" --yes --var port=COM7 run "$(winpath "$road")" \
  2>&1 | tr -d '\r' >"$work/win-road.out" || true
wineserver -k >/dev/null 2>&1 || true
check "the Windows run of the equipment library's road: every call as expected" \
  "grep -q ' 0 unexpected' '$work/win-road.out'"
check "  a refused Z report names its reason" "grep -q 'out\[0\] \"Неверное состояние документа: 000B\"' '$work/win-road.out'"
if ((status != 0)); then
  echo "trace-wine: $arch failed"
  sed 's/^/  | /' "$work/diff" | head -40
  echo "  the Windows trace:"
  sed 's/^/  | /' "$work/win.trace" | head -80
  echo "  the Windows run of the equipment library's road:"
  sed 's/^/  | /' "$work/win-road.out" | grep -B3 'FAIL' | head -40
fi
exit "$status"

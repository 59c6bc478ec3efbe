#!/usr/bin/env bash
# Runs the Windows test host under wine against two printer simulators, each
# on the Linux side of a pty whose slave is a COM port of the wine prefix:
# COM5 a printer that answers, COM6 one that never does.
#
#   run-wine.sh BUILD_DIR SIMULATOR win64|win32
#
# BUILD_DIR holds AddInNativeOstrel.dll, AddInNativeOstrelTest.dll and
# tests/windows/addin-host.exe; the wine prefix lives in BUILD_DIR/wine.
# After the run wineserver is stopped before the simulators close their pty
# masters: a master closed under a running wineserver hangs it up.
set -euo pipefail
build="$(cd "$1" && pwd)"
sim="$2"
arch="$3"
serial=WINE0001

export WINEPREFIX="$build/wine"
export WINEARCH="$arch"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

work="$(mktemp -d)"
pids=()
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

if [[ ! -d "$WINEPREFIX/dosdevices" ]]; then
  echo "run-wine: creating the $arch prefix"
  timeout 300 wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w || true
  [[ -d "$WINEPREFIX/dosdevices" ]] || { echo "run-wine: no wine prefix at $WINEPREFIX" >&2; exit 1; }
fi

# start_sim LINK OUT [options...]: serves until killed; waits for the slave
# path line so the COM port exists before wine starts.
start_sim() {
  local link="$1" out="$2"; shift 2
  rm -f "$link"
  "$sim" --link "$link" "$@" >"$out" 2>"$out.err" &
  pids+=($!)
  for _ in $(seq 100); do
    [[ -s "$out" && -L "$link" ]] && return 0
    sleep 0.05
  done
  echo "run-wine: simulator did not start ($*)" >&2
  cat "$out.err" >&2
  return 1
}
start_sim "$WINEPREFIX/dosdevices/com5" "$work/printer.out" --serial "$serial" --tape "$work/tape.txt"
start_sim "$WINEPREFIX/dosdevices/com6" "$work/silent.out" --silence 0:0

# With a Russian locale wine's ANSI code page is Windows-1251, the printers'
# own: a Cyrillic text must reach the tape in it. The locale is built into
# the work folder; where that cannot be done the check is skipped, loudly.
cyrillic=0
mkdir -p "$work/locale"
if localedef -i ru_RU -f UTF-8 "$work/locale/ru_RU.UTF-8" >/dev/null 2>&1; then
  cyrillic=1
else
  echo "run-wine: no ru_RU locale could be built: the Cyrillic check is NOT RUN"
fi

winpath() { echo "Z:${1//\//\\}"; }
status=0
if ((cyrillic)); then export LOCPATH="$work/locale" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8; fi
timeout 300 wine "$(winpath "$build/tests/windows/addin-host.exe")" \
  "$(winpath "$build/AddInNativeOstrel.dll")" "$(winpath "$build/AddInNativeOstrelTest.dll")" 5 6 "$serial" \
  | tr -d '\r' || status=$?
wineserver -k >/dev/null 2>&1 || true

# What the printer printed: the sold article, the closed receipt, and the X
# report that counts the sale.
for line in "Bread  1.000 x 2.00 = 2.00" "CASH 2.00" "END OF RECEIPT No 1" "SALES 2.00"; do
  if grep -qxF "$line" "$work/tape.txt" 2>/dev/null; then
    echo "ok   tape: $line"
  else
    echo "FAIL tape: no line \"$line\""
    status=1
  fi
done
if ((cyrillic)); then
  if iconv -f CP1251 -t UTF-8 "$work/tape.txt" 2>/dev/null | grep -qxF "Молоко"; then
    echo "ok   tape: a Cyrillic comment in Windows-1251"
  else
    echo "FAIL tape: no Cyrillic comment in Windows-1251"
    status=1
  fi
fi
if ((status != 0)); then
  echo "run-wine: $arch failed; the tape was:" >&2
  cat "$work/tape.txt" >&2 2>/dev/null || true
fi
exit "$status"

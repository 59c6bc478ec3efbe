#!/usr/bin/env bash
# Runs the Windows test host under wine against two printer simulators, each
# on the Linux side of a pty whose slave is a COM port of the wine prefix:
# COM5 a printer that answers, COM6 one that never does.
#
#   run-wine.sh BUILD_DIR SIMULATOR win64|win32
#
# BUILD_DIR holds AddInNativeOstrel.dll, AddInNativeOstrelTest.dll and
# tests/windows/addin-host.exe; the wine prefix lives in BUILD_DIR/wine.
set -euo pipefail
build="$(cd "$1" && pwd)"
sim="$2"
arch="$3"
serial=WINE0001

name=run-wine
source "$(dirname "$0")/wine-common.sh"

start_sim "$WINEPREFIX/dosdevices/com5" "$work/printer.out" --serial "$serial" --tape "$work/tape.txt"
start_sim "$WINEPREFIX/dosdevices/com6" "$work/silent.out" --silence 0:0

# With a Russian locale wine's ANSI code page is Windows-1251, the printers'
# own: a Cyrillic text must reach the tape in it. The locale is built into
# the work folder; where that cannot be done the check is skipped, loudly.
cyrillic=0
if russian_locale; then
  cyrillic=1
else
  echo "run-wine: no ru_RU locale could be built: the Cyrillic check is NOT RUN"
fi

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

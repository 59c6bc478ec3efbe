#!/usr/bin/env bash
# Unpacks the component package and checks it as the platform reads it:
# MANIFEST.XML names one native library per operating system and
# architecture, every path it names is in the package and is a library of
# that system and architecture, and each library this machine can run loads
# and answers through the test host (tests/windows/host.c; Windows ones
# under wine), and that all of them carry the project's version
# (check-version.sh). Beside the package, dist/tools/win64 and dist/tools/win32
# must hold addin-host.exe with its library, and it must run under wine.
#
#   check-bundle.sh ZIP [WINE64 [WINE32]]
#
# WINE64 or WINE32 = 0 when that wine is not installed: that Windows library
# is then checked statically only, and the run says so.
set -euo pipefail
zip="$(realpath "$1")"
wine64="${2:-1}"
wine32="${3:-1}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
ok() { echo "ok   $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }

mkdir "$work/pkg"
unzip -q "$zip" -d "$work/pkg"

# os arch path, one component a line; the parser fails on anything else.
if ! python3 - "$work/pkg/MANIFEST.XML" >"$work/components" <<'EOF'
import sys
import xml.etree.ElementTree as ET
ns = "http://v8.1c.ru/8.2/addin/bundle"
root = ET.parse(sys.argv[1]).getroot()
if root.tag != "{%s}bundle" % ns or root.get("name") != "AddInNativeOstrel":
    sys.exit("manifest root: %s name=%s" % (root.tag, root.get("name")))
for c in root:
    if c.tag != "{%s}component" % ns or c.get("type") != "native":
        sys.exit("not a native component: %s %s" % (c.tag, c.attrib))
    print(c.get("os"), c.get("arch"), c.get("path"))
EOF
then
  fail "MANIFEST.XML parses as a bundle of native components"
  echo "0 passed, 1 failed"
  exit 1
fi
ok "MANIFEST.XML parses as a bundle of native components"

kinds=$(awk '{print $1 "/" $2}' "$work/components" | sort | tr '\n' ' ')
if [[ "$kinds" == "Linux/i386 Linux/x86_64 Windows/i386 Windows/x86_64 " ]]; then
  ok "one library for each of Windows and Linux, i386 and x86_64"
else
  fail "one library for each of Windows and Linux, i386 and x86_64 (got: $kinds)"
fi

# The test host for each kind: native and -m32 for Linux, MinGW for Windows.
host="$root/tests/windows/host.c"
cc -std=c11 -O1 -o "$work/host-x86_64" "$host" -ldl
cc -std=c11 -O1 -m32 -o "$work/host-i386" "$host" -ldl
x86_64-w64-mingw32-gcc-posix -std=c11 -O1 -static -o "$work/host-x86_64.exe" "$host"
i686-w64-mingw32-gcc-posix -std=c11 -O1 -static -o "$work/host-i386.exe" "$host"

winpath() { echo "Z:${1//\//\\}"; }
# run_wine PREFIX ARCH HOST LIBRARY: wineserver is stopped afterwards.
run_wine() {
  local prefix="$1" arch="$2" program="$3" lib="$4" status=0
  WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout 300 wine "$(winpath "$program")" "$(winpath "$lib")" >"$work/out" 2>&1 || status=$?
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  tr -d '\r' <"$work/out"
  return "$status"
}

while read -r os arch path; do
  lib="$work/pkg/$path"
  what="$os $arch $path"
  if [[ ! -f "$lib" ]]; then
    fail "$what: in the package"
    continue
  fi
  ok "$what: in the package"
  case "$os/$arch" in
    Linux/x86_64) format="ELF64 X86-64" ;;
    Linux/i386) format="ELF32 Intel 80386" ;;
    Windows/x86_64) format="pei-x86-64" ;;
    Windows/i386) format="pei-i386" ;;
    *) fail "$what: unknown kind"; continue ;;
  esac
  case "$os" in
    Linux)
      actual="$(readelf -h "$lib" | awk -F: '/Class|Machine/ {gsub(/^ +/, "", $2); printf "%s ", $2}')"
      if [[ "$actual" == "ELF64 Advanced Micro Devices X86-64 " && "$arch" == x86_64 ||
            "$actual" == "ELF32 Intel 80386 " && "$arch" == i386 ]] &&
         "$root/scripts/check-library" "$lib" >/dev/null; then
        ok "$what: $format, needs only the C runtime, exports the three entry points"
      else
        fail "$what: $format expected, got $actual"
      fi
      if "$work/host-$arch" "$lib" >"$work/out" 2>&1; then
        ok "$what: loads and answers through the host ($(tail -1 "$work/out"))"
      else
        cat "$work/out"
        fail "$what: loads and answers through the host"
      fi
      ;;
    Windows)
      if "$root/scripts/check-dll" "$lib" "$format" >/dev/null; then
        ok "$what: $format, imports only KERNEL32 and msvcrt, exports the three entry points"
      else
        "$root/scripts/check-dll" "$lib" "$format" || true
        fail "$what: static checks"
      fi
      # The prefixes of the Windows builds (made there on first use).
      if [[ "$arch" == i386 ]]; then prefix="$root/build-win-x86/wine" warch=win32; else prefix="$root/build-win-x64/wine" warch=win64; fi
      if [[ "$arch" == i386 && "$wine32" != 1 || "$arch" == x86_64 && "$wine64" != 1 ]]; then
        echo "!!!! $what: NOT LOADED: $warch wine is not installed on this machine"
        continue
      fi
      if run_wine "$prefix" "$warch" "$work/host-$arch.exe" "$lib" >"$work/wine.out"; then
        ok "$what: loads and answers through the host under wine ($(tail -1 "$work/wine.out"))"
      else
        cat "$work/wine.out"
        fail "$what: loads and answers through the host under wine"
      fi
      ;;
  esac
done <"$work/components"

if "$root/tests/bundle/check-version.sh" "$zip"; then
  ok "one version in the package's name, every library and README"
else
  fail "one version in the package's name, every library and README"
fi
# addin-host for Windows beside the package (dist/tools): a program of its
# architecture that needs only the system DLLs, and that finds the library
# next to it and calls it under wine.
tools="$(dirname "$zip")/tools"
for part in "win64 pei-x86-64 $wine64" "win32 pei-i386 $wine32"; do
  read -r folder format runs <<<"$part"
  exe="$tools/$folder/addin-host.exe"
  what="tools/$folder/addin-host.exe"
  if [[ ! -f "$exe" || ! -f "$tools/$folder/AddInNativeOstrel.dll" ]]; then
    fail "$what: beside the package with its library"
    continue
  fi
  imports=$(objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
  if [[ "$(objdump -f "$exe" | awk '/file format/ {print $NF}')" == "$format" && "$imports" == "KERNEL32.dll msvcrt.dll " ]]; then
    ok "$what: $format, imports only KERNEL32 and msvcrt"
  else
    fail "$what: $format importing KERNEL32 and msvcrt only (imports: $imports)"
  fi
  if [[ "$runs" != 1 ]]; then
    echo "!!!! $what: NOT RUN: $folder wine is not installed on this machine"
    continue
  fi
  if [[ "$folder" == win32 ]]; then prefix="$root/build-win-x86/wine"; else prefix="$root/build-win-x64/wine"; fi
  if WINEPREFIX="$prefix" WINEARCH="$folder" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
       timeout 300 wine "$(winpath "$exe")" call GetVersion 2>&1 | tr -d '\r' >"$work/tool.out" &&
     grep -q '=> ok' "$work/tool.out"; then
    ok "$what: finds the library next to it and calls GetVersion under wine"
  else
    cat "$work/tool.out"
    fail "$what: finds the library next to it and calls GetVersion under wine"
  fi
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
done

echo "bundle: $passed passed, $failed failed"
((failed == 0))

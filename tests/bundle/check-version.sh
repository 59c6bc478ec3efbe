#!/usr/bin/env bash
# Checks that the package carries one version everywhere: the project
# VERSION of the top CMakeLists.txt is in the ZIP's name, in the VERSIONINFO
# of each Windows DLL (the fixed numbers and the FileVersion and
# ProductVersion texts), in the embedded string of each Linux library, and in
# README's version line. Prints one line per check; exits 1 if any differs.
#
#   check-version.sh ZIP
set -euo pipefail
zip="$(realpath "$1")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
exec python3 - "$zip" "$root" <<'PY'
import os, re, struct, sys, zipfile

zip_path, root = sys.argv[1], sys.argv[2]
cmake = open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8").read()
m = re.search(r"^project\(AddInNativeOstrel VERSION (\d+)\.(\d+)\.(\d+)\b", cmake, re.M)
if not m:
    sys.exit("FAIL no project VERSION in CMakeLists.txt")
numbers = tuple(int(x) for x in m.groups())
version = "%d.%d.%d" % numbers
failed = 0

def check(ok, what):
    global failed
    print(("ok   " if ok else "FAIL ") + what)
    failed += 0 if ok else 1

def pe_versions(data):
    """The file and product versions of VS_FIXEDFILEINFO, or None."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
    split = lambda hi, lo: (hi >> 16, hi & 0xFFFF, lo >> 16, lo & 0xFFFF)
    return split(ms, ls), split(pms, pls)

def pe_text(data, key):
    """The value of a StringFileInfo entry, or None."""
    name = (key + "\0").encode("utf-16-le")
    at = data.find(name)
    if at < 0:
        return None
    at += len(name)
    at += (-at) % 4  # values start on a 32-bit boundary
    end = at
    while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le", "replace")

check(os.path.basename(zip_path) == "AddInNativeOstrel-%s.zip" % version,
      "package name %s carries version %s" % (os.path.basename(zip_path), version))
with zipfile.ZipFile(zip_path) as z:
    for name in z.namelist():
        data = z.read(name)
        if name.endswith(".dll"):
            fixed = pe_versions(data)
            want = numbers + (0,)
            check(fixed == (want, want) and pe_text(data, "FileVersion") == version
                  and pe_text(data, "ProductVersion") == version,
                  "%s: VERSIONINFO %s" % (name, version))
        elif name.endswith(".so"):
            check(("AddInNativeOstrel version %s\0" % version).encode() in data,
                  "%s: embedded version %s" % (name, version))
readme = open(os.path.join(root, "README.md"), encoding="utf-8").read()
check(re.search(r"^Version %s\b" % re.escape(version), readme, re.M) is not None,
      "README.md: version line %s" % version)
sys.exit(1 if failed else 0)
PY

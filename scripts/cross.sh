# Shared by scripts/bundle and scripts/test-cross: the toolchains of the four
# targets, wine, and building a target from its CMake preset.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

PRESETS=(linux-x64 linux-x86 win-x64 win-x86)

# The project VERSION of the top CMakeLists.txt, the one version number.
project_version() {
  sed -n 's/^project(AddInNativeOstrel VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt"
}

# The package scripts/bundle writes.
bundle_path() { echo "$ROOT/dist/AddInNativeOstrel-$(project_version).zip"; }

# The library file each preset builds, relative to its build directory.
library_file() {
  case "$1" in
    linux-*) echo "libAddInNativeOstrel.so" ;;
    win-*) echo "AddInNativeOstrel.dll" ;;
  esac
}

add_i386() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "== adding the i386 architecture"
    dpkg --add-architecture i386
    # Once i386 is added, apt-get update may exit non-zero over an i386 index
    # nothing here needs; the installs that follow are what is checked.
    apt-get update -qq || true
  fi
}

# MinGW-w64 (posix threads), the multilib compilers and a 32-bit GoogleTest.
ensure_cross_tools() {
  ensure_build_tools
  apt_install zip unzip binutils g++-multilib \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  add_i386
  apt_install libgtest-dev:i386 libgmock-dev:i386
}

# wine for both architectures. Sets WINE64 and WINE32 to 1 where each can run.
ensure_wine() {
  WINE64=0
  WINE32=0
  if ! dpkg -s wine32:i386 >/dev/null 2>&1 || ! dpkg -s wine64 >/dev/null 2>&1; then
    add_i386
    echo "== installing wine (64-bit and 32-bit)"
    apt-get update -qq || true
    # The i386 and amd64 copies of a shared library must be the same version;
    # the pin keeps the amd64 one at the version the i386 index carries.
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -t bookworm wine wine64 wine32:i386 \
      libgstreamer-plugins-base1.0-0:i386 libgstreamer-plugins-base1.0-0=1.22.0-3+deb12u6 >/dev/null ||
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wine wine64 wine32:i386 >/dev/null ||
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wine wine64 >/dev/null || true
  fi
  dpkg -s wine64 >/dev/null 2>&1 && command -v wine >/dev/null && WINE64=1
  dpkg -s wine32:i386 >/dev/null 2>&1 && command -v wine >/dev/null && WINE32=1
  return 0
}

# build_preset PRESET [targets...]: configures once, then builds (all targets
# when none are named).
build_preset() {
  local preset="$1"; shift
  local dir="$ROOT/build-$preset"
  if [[ ! -f "$dir/build.ninja" ]]; then
    (cd "$ROOT" && cmake --preset "$preset" >/dev/null)
  fi
  local args=()
  for t in "$@"; do args+=(--target "$t"); done
  cmake --build "$dir" -j "$JOBS" "${args[@]}"
}

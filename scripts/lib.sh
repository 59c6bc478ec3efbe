# Shared by the project's scripts: install what a fresh machine lacks.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

apt_install() {
  local missing=()
  for pkg in "$@"; do
    # With a second architecture added, a package installed for both needs
    # its architecture named.
    dpkg -s "$pkg" >/dev/null 2>&1 || dpkg -s "$pkg:$(dpkg --print-architecture)" >/dev/null 2>&1 ||
      missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

ensure_build_tools() {
  apt_install build-essential cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev python3 util-linux
}

# configure_and_build DIR [cmake args...]
configure_and_build() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# progress_only: passes the build's own progress lines ("[12/150] Building
# ...") through, indented, and drops the rest (kept in a log by the caller).
progress_only() {
  awk '/^\[[0-9]+\/[0-9]+\]/ { print "  " $0; fflush() }'
}

# step N TOTAL TEXT: a stage heading with its place in the run and the time
# taken so far.
STEP_START=$(date +%s)
step() {
  echo "== [$1/$2] $3 ($(( $(date +%s) - STEP_START )) s so far)"
}

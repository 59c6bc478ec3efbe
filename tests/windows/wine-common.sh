# Shared by the scripts that run Windows programs under wine against the
# printer simulator: the prefix in BUILD_DIR/wine, a work folder, the
# simulators started and stopped, the Russian locale, Windows paths.
# Set before sourcing: build (the build folder), sim (the simulator), arch
# (win64 or win32), name (the script's name in messages).

export WINEPREFIX="$build/wine"
export WINEARCH="$arch"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

work="$(mktemp -d)"
pids=()
# wineserver is stopped before the simulators close their pty masters: a
# master closed under a running wineserver hangs it up.
wine_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap wine_cleanup EXIT

if [[ ! -d "$WINEPREFIX/dosdevices" ]]; then
  echo "$name: creating the $arch prefix"
  timeout 300 wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w || true
  [[ -d "$WINEPREFIX/dosdevices" ]] || { echo "$name: no wine prefix at $WINEPREFIX" >&2; exit 1; }
fi

# start_sim LINK OUT [options...]: a simulator serving until killed; LINK,
# when not empty, is the COM port of the prefix that names its pty. Returns
# once the pty exists (the first line of OUT is its slave path).
start_sim() {
  local link="$1" out="$2"; shift 2
  local args=("$@")
  if [[ -n "$link" ]]; then
    rm -f "$link"
    args=(--link "$link" "${args[@]}")
  fi
  "$sim" "${args[@]}" >"$out" 2>"$out.err" &
  pids+=($!)
  for _ in $(seq 100); do
    [[ -s "$out" && ( -z "$link" || -L "$link" ) ]] && return 0
    sleep 0.05
  done
  echo "$name: simulator did not start ($*)" >&2
  cat "$out.err" >&2
  return 1
}

# russian_locale: builds ru_RU.UTF-8 into the work folder, so that wine's
# ANSI code page is Windows-1251, the printer's own; false when it cannot.
russian_locale() {
  mkdir -p "$work/locale"
  localedef -i ru_RU -f UTF-8 "$work/locale/ru_RU.UTF-8" >/dev/null 2>&1
}

winpath() { echo "Z:${1//\//\\}"; }

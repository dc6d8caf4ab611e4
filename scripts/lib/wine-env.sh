# Sourced by the scripts that run Windows programs: starts a private Xvfb and a Wine
# prefix of our own under the build tree, and stops exactly those again on exit.
# Needs VEXLO_BUILD_ROOT (the build/ folder).

vexlo_wine_start() {
  # A 64-bit prefix runs 32-bit and 64-bit programs alike: the 32-bit DLL's suite and the
  # 64-bit DLL, its hook helper and a 64-bit stand-in Explorer.
  export WINEPREFIX="${VEXLO_BUILD_ROOT}/wineprefix64"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installers: nothing here needs them, and they would ask to download.
  export WINEDLLOVERRIDES="mscoree,mshtml="

  # The server picks a free display itself and writes its number to the pipe.
  local fifo
  fifo="$(mktemp -u "${TMPDIR:-/tmp}/vexlo-xvfb.XXXXXX")"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  VEXLO_XVFB_PID=$!
  local n=""
  read -r -t 30 n <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$n" ]; then
    echo "wine-env: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":${n}"
  trap vexlo_wine_stop EXIT

  if [ ! -f "${WINEPREFIX}/system.reg" ]; then
    echo "wine: creating prefix ${WINEPREFIX}"
    wineboot -i >/dev/null 2>&1 || true
  fi
  # One virtual desktop holds every window: no window manager is needed, so hiding a
  # window does not wait for one, and the screen DC shows what the windows paint.
  if ! grep -q '"Desktop"="Default"' "${WINEPREFIX}/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1 || true
    # The desktop is chosen when the prefix's session starts: start it again.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  # A persistent server keeps every test process from paying for its start.
  wineserver -p >/dev/null 2>&1 || true
  # Start the session's own processes (services, device drivers) now, with nothing
  # attached to their output: started by the first test instead, they would inherit
  # its output pipe and hold ctest waiting for it to close.
  wineboot >/dev/null 2>&1 </dev/null || true
}

vexlo_wine_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "${VEXLO_XVFB_PID:-}" ]; then
    kill "${VEXLO_XVFB_PID}" 2>/dev/null || true
    wait "${VEXLO_XVFB_PID}" 2>/dev/null || true
    VEXLO_XVFB_PID=""
  fi
}

#!/usr/bin/env bash
# Alt+Tab with real key events from the X server (not SendInput): the reference host turns
# the switcher on over a desktop with three titled windows, xdotool holds Alt, presses Tab
# twice and lets go. The host must hear WM_USER + 9 and end with the second window in
# front. Needs the Wine session of scripts/test (DISPLAY, WINEPREFIX).
#   alt_tab_real_keys.sh <VexloHost.exe>
set -uo pipefail
host="$1"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
wine "$host" alttab 8 1:Main:3 >"$out" 2>&1 </dev/null &
pid=$!
for _ in $(seq 1 120); do grep -q "AltTabHook(1) returned 1" "$out" && break; sleep 0.25; done
# The keys go to the X window that has the focus: Wine's desktop window.
desktop="$(xdotool search --name "Wine desktop" | head -1)"
[ -n "$desktop" ] && xdotool windowfocus --sync "$desktop"
sleep 0.5
xdotool keydown alt
sleep 0.3
xdotool key Tab
sleep 1
xdotool key Tab
sleep 0.5
xdotool keyup alt
wait "$pid"
cat "$out"
grep -q "received WM_USER+9" "$out" || { echo "FAIL: the host heard no WM_USER+9"; exit 1; }
grep -q "foreground window: Desk 1 window 1" "$out" || { echo "FAIL: the chosen window is not in front"; exit 1; }
echo "PASS"

#!/usr/bin/env bash
# Alt+Tab with real key events from the X server (not SendInput): the reference host turns
# the switcher on over a desktop with three titled windows ("Desk 1 window 2" topmost,
# "Desk 1 window 0" lowest and minimized), and xdotool holds Alt and presses keys:
#   forward   Tab twice, then lets go: the host hears WM_USER + 9 and ends with the second
#             window ("Desk 1 window 1") in front;
#   backward  Shift+Tab once, then lets go: opened with Shift, the selection starts one
#             before the first window and wraps to the last, "Desk 1 window 0", which ends
#             in front, restored;
#   escape    Tab twice, Escape, then lets go: the switcher closed without activating
#             anything, the host heard WM_USER + 9 once, and the window in front is the one
#             that was in front before.
# In every mode the window in front is not left in menu mode (Alt's release after the
# swallowed keys is no lone Alt tap).
# Needs the Wine session of scripts/test (DISPLAY, WINEPREFIX).
#   alt_tab_real_keys.sh <VexloHost.exe> [forward|backward|escape]
set -uo pipefail
host="$1"
mode="${2:-forward}"
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
case "$mode" in
  forward)
    xdotool key Tab
    sleep 1
    xdotool key Tab
    ;;
  backward)
    xdotool keydown shift
    sleep 0.2
    xdotool key Tab
    sleep 1
    xdotool keyup shift
    ;;
  escape)
    xdotool key Tab
    sleep 1
    xdotool key Tab
    sleep 0.3
    xdotool key Escape
    ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
sleep 0.5
xdotool keyup alt
wait "$pid"
# Wine ends the lines it prints with CR LF.
sed -i "s/\r$//" "$out"
cat "$out"
heard="$(grep -c "received WM_USER+9" "$out")"
[ "$heard" -eq 1 ] || { echo "FAIL: the host heard WM_USER+9 $heard times, not once"; exit 1; }
front="$(sed -n 's/^foreground window: //p' "$out")"
before="$(sed -n 's/^foreground before: //p' "$out")"
case "$mode" in
  forward) want="Desk 1 window 1" ;;
  backward) want="Desk 1 window 0" ;;
  escape) want="$before" ;;
esac
[ "$front" = "$want" ] || { echo "FAIL: '$front' is in front, not '$want'"; exit 1; }
# Alt's release after swallowed keys is no lone tap: the window in front is not in its menu.
grep -q "^menu mode: 0$" "$out" || { echo "FAIL: the window in front is in menu mode"; exit 1; }
if [ "$mode" = escape ] && [ "$front" = "Desk 1 window 1" ]; then
  echo "FAIL: Escape activated the chosen window"
  exit 1
fi
echo "PASS ($mode)"

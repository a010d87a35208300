# Sourced by the scripts that run Windows programs under Wine (tools/wine-link-tests,
# tools/pelmo-wine): finds Wine, sets the environment of a private prefix, and makes that prefix
# with its serial ports. WINEPREFIX is set by the caller.

# Debian's wine64 package puts no wine on the PATH.
WINE64=$(command -v wine64 || true)
[ -n "$WINE64" ] || WINE64=/usr/lib/wine/wine64
WINESERVER=$(command -v wineserver || true)
[ -n "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINE64" ] || { echo "wine64 is not installed" >&2; exit 1; }

export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=" # no .NET or Gecko installers in a private prefix
export WINESERVER

# wine_prefix_with_ports COMn=PATH...: makes $WINEPREFIX once, with each COMn in
# HKLM\Software\Wine\Ports pointing at PATH. Wine's mount manager then makes each a device
# (dosdevices/comN) and lists it among the system's serial ports, as Windows lists its own.
wine_prefix_with_ports() {
  if [ -f "$WINEPREFIX/system.reg" ] && grep -qi "\"${1%%=*}\"" "$WINEPREFIX/system.reg"; then return 0; fi
  echo "== Creating the Wine prefix $WINEPREFIX =="
  "$WINE64" wineboot --init >/dev/null 2>&1
  local reg=$WINEPREFIX/pelmo-ports.reg
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    local port
    for port in "$@"; do
      printf '"%s"="%s"\r\n' "${port%%=*}" "$(printf '%s' "${port#*=}" | sed 's/\\/\\\\/g')"
    done
  } >"$reg"
  "$WINE64" reg import "$(printf 'Z:%s' "$reg" | tr / '\\')" >/dev/null 2>&1
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w
}

# pelmo_window SECONDS: prints the id of Pelmo's main window once it shows, within SECONDS. Asked
# again and again rather than once with --sync: a window that goes away while xdotool walks the
# tree (Wine makes and drops some as a program starts) makes that one search fail.
pelmo_window() {
  local window
  for _ in $(seq $(($1 * 10))); do
    window=$(xdotool search --onlyvisible --name '^Pelmo' 2>/dev/null | head -n1) || true
    if [ -n "$window" ]; then
      echo "$window"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# pelmo_read_and_exit PID LOG EVERY: reads with Pelmo's window on this X server as a user would,
# for the program PID whose phone logs to LOG. Presses Read messages, again every two seconds
# while the phone has heard nothing (a key that comes before the window takes input is lost);
# waits for the three final OKs of the reading (serial number, memory, listing); then presses Exit
# every EVERY seconds, as it stays off until the reading has shown the list, until PID ends.
# False, with the reason, when there is no window, or PID ends too early or not at all.
pelmo_read_and_exit() {
  local pid=$1 log=$2 every=$3 window i
  window=$(pelmo_window 120) || { echo "Pelmo.exe showed no window" >&2; return 1; }
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" || true
  xdotool key --window "$window" alt+r 2>/dev/null || true
  for i in $(seq 1 12000); do
    [ "$(grep -c 'out .*\\r\\nOK\\r\\n$' "$log" 2>/dev/null)" -ge 3 ] && break
    kill -0 "$pid" 2>/dev/null || { echo "Pelmo.exe ended before the listing" >&2; return 1; }
    if [ $((i % 200)) -eq 0 ] && ! grep -q '^[0-9:.]* in ' "$log"; then
      xdotool key --window "$window" alt+r 2>/dev/null || true
    fi
    sleep 0.01
  done
  [ "$(grep -c 'out .*\\r\\nOK\\r\\n$' "$log" 2>/dev/null)" -ge 3 ] ||
    { echo "the phone never finished a listing for Pelmo.exe" >&2; return 1; }
  local until=$((SECONDS + 20))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $until ] || { echo "Pelmo.exe did not end on Exit" >&2; kill "$pid" 2>/dev/null; return 1; }
    xdotool key --window "$window" alt+x 2>/dev/null || true
    sleep "$every"
  done
}

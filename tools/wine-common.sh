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

# Which Windows build the tests run under Wine, and with which Wine. Source it; it sets
# GLIMOR_WINDOWS_PRESET and GLIMOR_WINDOWS_BUILD (unless given).
# The program ships for 32-bit Windows, and its tests run that build under 32-bit Wine. Some
# virtual machines cannot run 32-bit code at all: there the 64-bit build of the same sources
# runs under 64-bit Wine, through a `wine` on the PATH that starts Wine's 64-bit loader.
glimor_root=${glimor_root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
if [ -z "${GLIMOR_WINDOWS_PRESET:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine64 ]; then
    GLIMOR_WINDOWS_PRESET=windows
  else
    GLIMOR_WINDOWS_PRESET=windows64
  fi
fi
export GLIMOR_WINDOWS_PRESET
export GLIMOR_WINDOWS_BUILD=${GLIMOR_WINDOWS_BUILD:-$glimor_root/build/$GLIMOR_WINDOWS_PRESET}
if [ "$GLIMOR_WINDOWS_PRESET" = windows64 ]; then
  wine64_bin=$glimor_root/build/wine64-bin
  if [ ! -x "$wine64_bin/wine-stable" ]; then
    mkdir -p "$wine64_bin"
    for name in wine wine-stable; do
      printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$wine64_bin/$name"
      chmod +x "$wine64_bin/$name"
    done
  fi
  case ":$PATH:" in *":$wine64_bin:"*) ;; *) export PATH=$wine64_bin:$PATH ;; esac
  export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
fi
# ensure_wine_prefix: the prefix in WINEPREFIX made once, and its Wine server kept running so
# that each program started in it does not pay for the server's start.
ensure_wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] || { rm -rf "$WINEPREFIX"; wineboot -i >/dev/null 2>&1; }
  wineserver -p 2>/dev/null || true
}

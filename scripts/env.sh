# Common environment for the build and the Wine test bench. Sourced by the scripts.
# CORV_BUILD_ROOT (default build/) holds the build trees and the Wine prefix, so that
# separate checkouts or work trees never share a registry.
CORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CORV_BUILD_ROOT="${CORV_BUILD_ROOT:-$CORV_ROOT/build}"
export WINEPREFIX="${WINEPREFIX:-$CORV_BUILD_ROOT/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINE64=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
# No installer dialogs for Mono or Gecko. The lab's stand-ins in a staging folder are taken only
# when a run asks for them (netapi32,mpr,netui2=n,b); otherwise Wine's own DLLs answer.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;netapi32,mpr,netui2=b}"

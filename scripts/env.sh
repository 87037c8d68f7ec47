# Common environment for the build and the Wine test bench. Sourced by the scripts.
# CORV_BUILD_ROOT (default build/) holds the build trees and the Wine prefix, so that
# separate checkouts or work trees never share a registry.
CORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CORV_BUILD_ROOT="${CORV_BUILD_ROOT:-$CORV_ROOT/build}"
export WINEPREFIX="${WINEPREFIX:-$CORV_BUILD_ROOT/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# 64-bit programs through wine64, 32-bit ones through wine32's loader (SysWOW64 of the same
# prefix); never /usr/bin/wine, whose meaning changes when wine32 is installed. CORV_WINE is the
# loader of the tree at hand: CORV_ARCH=win32 (set by the i686 tree's test environment) for i686.
export WINE64=/usr/lib/wine/wine64
export WINE32=/usr/lib/wine/wine
if [ "${CORV_ARCH:-win64}" = win32 ]; then export CORV_WINE=$WINE32; else export CORV_WINE=$WINE64; fi
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
# No installer dialogs for Mono or Gecko. The lab's stand-ins in a staging folder are taken only
# when a run asks for them (netapi32,mpr,netui2=n,b); otherwise Wine's own DLLs answer. A caller's
# value is kept here, for the scripts' own runs with the lab on; scripts/test and scripts/demo
# drop whatever their caller's shell holds first.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;netapi32,mpr,netui2=b}"

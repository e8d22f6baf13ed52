#!/bin/sh
# Runs a Windows executable under Wine with a prefix inside the build tree (never ~/.wine).
# WINEPREFIX may be set by the caller; otherwise the build folder of the executable decides.
: "${WINEPREFIX:=$(pwd)/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"

#!/bin/sh
# Runs a Windows program under Wine, quietly, in a Wine prefix of its own:
# $WINEPREFIX when set, else one under /tmp that nothing else uses.
# The prefix is made on first use (that takes some seconds).
: "${WINEPREFIX:=/tmp/quillmark-wine-$(id -u)}"
WINEDEBUG=-all
# No Mono or Gecko: console programs need neither, and making the prefix
# would otherwise try to install them.
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
exec /usr/lib/wine/wine64 "$@"

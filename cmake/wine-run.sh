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
# Make the prefix quietly first: making it writes notes to standard error,
# which would land among the program's own messages.
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
fi
# CMake puts this runner before every program of the build that a test
# starts; one of the host's own (a Python script's interpreter, say) runs
# as it is, so that its exit status counts (Wine would report success).
case "$1" in
  *.exe | *.EXE) exec /usr/lib/wine/wine64 "$@" ;;
  *) exec "$@" ;;
esac

#!/bin/sh
# Starts the connector from its program directory; on a machine without a
# display it runs on a virtual one.
set -eu
DIR="$(cd "$1" && pwd)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Sem tela: o programa roda numa tela virtual (Xvfb)."
    echo "Log diário e configurações: $DIR"
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$DIR/ConcentradorTarnex"
fi
exec "$DIR/ConcentradorTarnex"

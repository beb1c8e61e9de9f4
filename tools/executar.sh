#!/bin/sh
# make run: the demo station. Prepares the station database when it is
# missing, starts the component server with a demo feed of fuelings, and
# runs the connector; when the connector ends, the feed and the server end
# with it. On a machine without a display it runs on a virtual one.
set -eu
DIR="$(cd "$1" && pwd)"

if [ ! -f "$DIR/ZelvioECF.ini" ]; then
    echo "Preparando o posto de demonstração..."
    "$DIR/criaposto" --dir "$DIR"
fi

"$DIR/FcmMasterX" --dir "$DIR" &
"$DIR/fcmsim" --dir "$DIR" demo --intervalo 4 > "$DIR/demo.log" 2>&1 &
DEMO=$!

termina() {
    kill "$DEMO" 2>/dev/null || true
    wait "$DEMO" 2>/dev/null || true
    "$DIR/fcmsim" --dir "$DIR" para > /dev/null 2>&1 || true
}
trap termina EXIT INT TERM

echo "Log diário: $DIR/ConnectTarnex$(date +%d%m%Y).log"
echo "Banco do posto: $(grep -i '^CAMINHO' "$DIR/ZelvioECF.ini" | cut -d= -f2-)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Sem tela: o programa roda numa tela virtual (Xvfb); feche-o com Ctrl+C."
    xvfb-run -a -s "-screen 0 1280x800x24" "$DIR/ConcentradorTarnex"
else
    "$DIR/ConcentradorTarnex"
fi

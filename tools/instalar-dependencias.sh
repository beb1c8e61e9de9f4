#!/bin/sh
# Installs the Debian packages the connector needs to build, test and run,
# and only those that are missing, so a second run costs nothing.
set -eu

PACOTES="
build-essential cmake make pkg-config
qt6-base-dev qt6-base-dev-tools libgl-dev
libgtest-dev
clang libclang-rt-14-dev
firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils firebird3.0-server
xvfb xauth imagemagick
locales
"

faltando=""
for p in $PACOTES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        faltando="$faltando $p"
    fi
done

if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi

if [ -n "$faltando" ]; then
    echo "Instalando pacotes:$faltando"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $faltando
fi

# The tests run once with a comma locale; the C library only honours it
# when the locale has been generated.
if ! locale -a 2>/dev/null | grep -qi '^pt_BR\.utf-\?8$'; then
    $SUDO localedef -i pt_BR -f UTF-8 pt_BR.UTF-8
fi

#!/bin/bash
# make package-test: the release package installed on this machine, a station
# made in /opt/concentrador-tarnex, then upgraded while one fueling waits in
# the connector's journal (the database was down) and one off-line fueling is
# held by the component server. After the upgrade both are stored once, the
# station's settings and logs are intact, and a purge leaves the station's
# files. It installs and removes a package and writes to /opt: root on Debian
# only, and never on a machine that already has the package or the directory.
set -euo pipefail

FONTES="$(cd "$(dirname "$0")/../.." && pwd)"
POSTO=/opt/concentrador-tarnex
PACOTE=concentrador-tarnex
FB_PROGRAMA=/usr/sbin/firebird
FB_BIBLIOTECA=/usr/lib/x86_64-linux-gnu/firebird/3.0
FB_SEGURANCA=/var/lib/firebird/3.0/system/security3.fdb
FB_SENHAS=/etc/firebird/3.0/SYSDBA.password

nao_roda() {
    echo "make package-test não pode rodar aqui: $1" >&2
    echo "Nada foi instalado nem alterado." >&2
    exit 2
}

falha() {
    echo "FALHOU: $1" >&2
    if [ -s "${TEMP:-/nao}/conector.saida" ]; then
        echo "-- saída do conector:" >&2
        tail -n 20 "$TEMP/conector.saida" >&2
    fi
    if [ -n "${LOG:-}" ] && [ -f "$LOG" ]; then
        echo "-- fim do log do dia:" >&2
        tail -n 30 "$LOG" | tr -d '\r' >&2
    fi
    exit 1
}

passo() {
    echo "== $1"
}

[ "$(id -u)" = 0 ] || nao_roda "precisa de root (instala e remove o pacote e grava em $POSTO)."
[ -f /etc/debian_version ] && command -v dpkg > /dev/null && command -v apt-get > /dev/null ||
    nao_roda "precisa de um Debian (dpkg e apt-get)."
[ -x "$FB_PROGRAMA" ] && [ -r "$FB_SEGURANCA" ] && [ -r "$FB_SENHAS" ] ||
    nao_roda "precisa do servidor Firebird do Debian (pacote firebird3.0-server), que faz o papel do banco que cai."
command -v isql-fb > /dev/null || nao_roda "precisa de isql-fb (pacote firebird3.0-utils) para contar os abastecimentos."
if dpkg-query -W -f='${Status}' "$PACOTE" 2> /dev/null | grep -q 'installed'; then
    nao_roda "o pacote $PACOTE já está instalado; o teste o removeria."
fi
[ ! -e "$POSTO" ] || nao_roda "$POSTO já existe; o teste mexeria nos arquivos desse posto."

passo "Pacote da versão de lançamento"
make -C "$FONTES" --no-print-directory package JOBS="${JOBS:-$(nproc)}"
VERSAO="$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' "$FONTES/packaging/changelog")"
DEB="$FONTES/build/${PACOTE}_${VERSAO}_amd64.deb"
[ -f "$DEB" ] || falha "o pacote $DEB não foi gerado."

TEMP="$(mktemp -d /tmp/teste-pacote.XXXXXX)"
GRUPO_EXISTIA=no
getent group tarnex > /dev/null && GRUPO_EXISTIA=yes
CONECTOR=""
FIREBIRD=""

limpa() {
    set +e
    [ -n "$CONECTOR" ] && kill "$CONECTOR" 2> /dev/null && wait "$CONECTOR" 2> /dev/null
    [ -x "$POSTO/fcmsim" ] && "$POSTO/fcmsim" --dir "$POSTO" para > /dev/null 2>&1
    # The test's own server, holding only the test's database: no shutdown.
    [ -n "$FIREBIRD" ] && kill -KILL "$FIREBIRD" 2> /dev/null && wait "$FIREBIRD" 2> /dev/null
    if dpkg-query -W -f='${Status}' "$PACOTE" 2> /dev/null | grep -q 'installed\|config-files'; then
        dpkg --purge "$PACOTE" > /dev/null
    fi
    rm -rf "$POSTO"
    [ "$GRUPO_EXISTIA" = no ] && getent group tarnex > /dev/null && delgroup --quiet tarnex
    rm -rf "$TEMP"
}
trap limpa EXIT

# A higher version of the same files: dpkg runs the upgrade path of the
# maintainer scripts, as for a real release.
passo "Pacote de atualização"
NOVA="$VERSAO+teste1"
dpkg --compare-versions "$NOVA" gt "$VERSAO" || falha "$NOVA não é maior que $VERSAO."
dpkg-deb -R "$DEB" "$TEMP/arvore"
sed -i "s/^Version: .*/Version: $NOVA/" "$TEMP/arvore/DEBIAN/control"
dpkg-deb --build "$TEMP/arvore" "$TEMP/${PACOTE}_${NOVA}_amd64.deb" > /dev/null
DEB_NOVO="$TEMP/${PACOTE}_${NOVA}_amd64.deb"

# The station database on a Firebird server of the test's own (its own port,
# configuration and copy of the security database), so that it can go down
# while the connector runs.
FB_RAIZ="$TEMP/firebird"
FB_PORTA=$((33000 + $$ % 1000))
SENHA="$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$FB_SENHAS")"
mkdir -p "$FB_RAIZ/lock"
cp "$FB_SEGURANCA" "$FB_RAIZ/security3.fdb"
for nome in plugins intl lib UDF firebird.msg plugins.conf; do
    ln -s "$FB_BIBLIOTECA/$nome" "$FB_RAIZ/$nome"
done
cat > "$FB_RAIZ/firebird.conf" << FIM
RemoteServicePort = $FB_PORTA
RemoteBindAddress = 127.0.0.1
IpcName = FbTestePacote$FB_PORTA
SecurityDatabase = $FB_RAIZ/security3.fdb
FIM
echo "security.db = $FB_RAIZ/security3.fdb" > "$FB_RAIZ/databases.conf"
BANCO="127.0.0.1/$FB_PORTA:$TEMP/posto.fdb"

inicia_firebird() {
    FIREBIRD="$FB_RAIZ" FIREBIRD_LOCK="$FB_RAIZ/lock" FIREBIRD_TMP="$FB_RAIZ" "$FB_PROGRAMA" \
        > "$TEMP/firebird.saida" 2>&1 &
    FIREBIRD=$!
    for _ in $(seq 100); do
        (exec 3<> "/dev/tcp/127.0.0.1/$FB_PORTA") 2> /dev/null && return 0
        sleep 0.1
    done
    falha "o servidor Firebird do teste não abriu a porta $FB_PORTA."
}

derruba_firebird() {
    kill -KILL "$FIREBIRD"
    wait "$FIREBIRD" 2> /dev/null || true
    FIREBIRD=""
}

# How many fuelings of these litres mvabast holds.
gravados() {
    printf 'set heading off;\nselect count(*) from mvabast where litragem = %s;\n' "$1" |
        isql-fb -q -user SYSDBA -password "$SENHA" "$BANCO" 2>&1 | tr -d ' \n'
}

gravados_sao() { # litros, quantos
    [ "$(gravados "$1")" = "$2" ]
}

espera() { # segundos, descrição, comando...
    local limite=$(($(date +%s) + $1)) descricao=$2
    shift 2
    until "$@"; do
        [ "$(date +%s)" -lt "$limite" ] || falha "$descricao"
        sleep 0.5
    done
}

inicia_conector() {
    QT_QPA_PLATFORM=offscreen LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 "$POSTO/ConcentradorTarnex" \
        >> "$TEMP/conector.saida" 2>&1 &
    CONECTOR=$!
}

para_conector() {
    kill -TERM "$CONECTOR" 2> /dev/null || falha "o conector fechou antes da hora."
    local limite=$(($(date +%s) + 30))
    while kill -0 "$CONECTOR" 2> /dev/null; do
        [ "$(date +%s)" -lt "$limite" ] || falha "o conector não fechou com SIGTERM em 30 s."
        sleep 0.2
    done
    wait "$CONECTOR" 2> /dev/null || true
    CONECTOR=""
}

fcmsim() {
    "$POSTO/fcmsim" --dir "$POSTO" "$@"
}

# The connector has opened concentrator 1 and configured its slave: a
# fueling before that is refused by the concentrator.
slave_configurado() {
    fcmsim estado 2> /dev/null | grep -q '^Slave 1:'
}

servidor_parado() {
    flock -n "$POSTO/FcmMasterX.trava" true
}

nomes() {
    (cd "$POSTO" && find . -mindepth 1 ! -name ConcentradorTarnex ! -name FcmMasterX ! -name fcmsim ! -name criaposto ! -name auditoria-encerrantes \
        -printf '%P\n' | sort)
}

# Every file of the station but the programs: name, type, mode, owner, size
# and contents.
retrato() {
    (
        cd "$POSTO"
        stat -c '. %a %U %G' .
        find . -mindepth 1 ! -name ConcentradorTarnex ! -name FcmMasterX ! -name fcmsim ! -name criaposto ! -name auditoria-encerrantes \
            -printf '%P %y %m %u %g %s\n' | sort
        find . -mindepth 1 -type f ! -name ConcentradorTarnex ! -name FcmMasterX ! -name fcmsim ! -name criaposto ! -name auditoria-encerrantes \
            -print0 | sort -z | xargs -0 -r sha256sum
    )
}

passo "Instalação de $VERSAO"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$DEB" > "$TEMP/apt.saida" 2>&1 ||
    { cat "$TEMP/apt.saida" >&2; falha "apt-get install do pacote."; }
[ "$(stat -c '%a %G' "$POSTO")" = "3770 tarnex" ] || falha "$POSTO não ficou com o modo 3770 e o grupo tarnex."
for programa in ConcentradorTarnex FcmMasterX fcmsim criaposto auditoria-encerrantes; do
    man -w "$programa" > /dev/null 2>&1 || falha "man não acha a página de $programa."
done

passo "Posto novo com criaposto, banco num servidor Firebird"
inicia_firebird
"$POSTO/criaposto" --dir "$POSTO" --banco "$BANCO" --usuario SYSDBA --senha "$SENHA" > /dev/null

passo "Um abastecimento gravado"
inicia_conector
espera 60 "o conector não configurou o concentrador 1." slave_configurado
fcmsim abastece 1 1 1 10,000 --ms 0 > /dev/null
espera 60 "o abastecimento de 10 L não chegou ao banco." gravados_sao 10 1

passo "Um abastecimento pendente no diário, com o banco fora do ar"
derruba_firebird
fcmsim abastece 1 1 2 20,000 --ms 0 > /dev/null
LOG="$POSTO/ConnectTarnex$(date +%d%m%Y).log"
espera 30 "o conector não registrou a falha do banco no log." grep -q 'Ocorreu um erro' "$LOG"
sleep 2
[ -s "$POSTO/ConcentradorTarnex.jrn" ] || falha "o diário está vazio: o abastecimento de 20 L não ficou pendente."
para_conector

passo "Um abastecimento off-line guardado pelo servidor do componente"
fcmsim abastece 1 2 1 30,000 --ms 0 | grep -q '(off-line)' ||
    falha "o abastecimento de 30 L não ficou off-line."
fcmsim para > /dev/null
espera 10 "o servidor do componente não terminou." servidor_parado

ANTES="$TEMP/antes"
mkdir "$ANTES"
retrato > "$ANTES/retrato"
nomes > "$ANTES/nomes"
cp -p "$POSTO"/*.ini "$POSTO"/*.log "$ANTES/"

passo "Atualização para $NOVA com dpkg -i"
dpkg -i "$DEB_NOVO" > "$TEMP/dpkg.saida" 2>&1 || { cat "$TEMP/dpkg.saida" >&2; falha "dpkg -i da atualização."; }
[ "$(dpkg-query -W -f='${Version}' "$PACOTE")" = "$NOVA" ] || falha "a versão instalada não é $NOVA."
[ -z "$(dpkg --verify "$PACOTE")" ] || falha "arquivos do pacote diferentes dos da atualização: $(dpkg --verify "$PACOTE")"
retrato > "$TEMP/retrato-atualizado"
diff "$ANTES/retrato" "$TEMP/retrato-atualizado" ||
    falha "a atualização mudou os arquivos do posto (acima, o que mudou)."

passo "O conector de novo, com o banco de volta"
inicia_firebird
inicia_conector
espera 60 "o abastecimento pendente (20 L) não foi gravado." gravados_sao 20 1
espera 60 "o abastecimento off-line (30 L) não foi gravado." gravados_sao 30 1
diario_vazio() { [ ! -s "$POSTO/ConcentradorTarnex.jrn" ]; }
espera 30 "o diário não se esvaziou." diario_vazio
sleep 3
for litros in 10 20 30; do
    [ "$(gravados $litros)" = 1 ] || falha "o abastecimento de $litros L está $(gravados $litros) vezes no banco."
done
para_conector
fcmsim para > /dev/null
espera 10 "o servidor do componente não terminou." servidor_parado

passo "Configurações, logs e diretório"
cmp "$ANTES/ZelvioECF.ini" "$POSTO/ZelvioECF.ini" || falha "ZelvioECF.ini mudou."
# Only the next fueling's Id may have moved on.
sem_id() { tr -d '\r' < "$1" | grep -v '^ID='; }
diff <(sem_id "$ANTES/ConcentradorTarnex.ini") <(sem_id "$POSTO/ConcentradorTarnex.ini") ||
    falha "ConcentradorTarnex.ini mudou além do Id (acima)."
for log in "$ANTES"/*.log; do
    # The log's last entry has bare CR line ends until the next one is
    # appended, which rewrites them as CR LF: the texts are compared with
    # either made LF.
    sed -e 's/\r$//' -e 's/\r/\n/g' "$log" > "$TEMP/log-antigo"
    sed -e 's/\r$//' -e 's/\r/\n/g' "$POSTO/$(basename "$log")" > "$TEMP/log-novo"
    if ! cmp -s -n "$(stat -c %s "$TEMP/log-antigo")" "$TEMP/log-antigo" "$TEMP/log-novo"; then
        diff "$TEMP/log-antigo" "$TEMP/log-novo" | head -n 20 >&2
        falha "o log $(basename "$log") perdeu o que tinha antes da atualização (acima)."
    fi
done
NOVOS="$(comm -13 "$ANTES/nomes" <(nomes))"
[ -z "$NOVOS" ] || falha "arquivos novos no posto: $NOVOS"

passo "apt-get purge"
retrato > "$TEMP/retrato-final"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$PACOTE" > "$TEMP/apt.saida" 2>&1 ||
    { cat "$TEMP/apt.saida" >&2; falha "apt-get purge."; }
for programa in ConcentradorTarnex FcmMasterX fcmsim criaposto auditoria-encerrantes; do
    [ ! -e "$POSTO/$programa" ] || falha "purge deixou o programa $programa."
done
retrato | diff "$TEMP/retrato-final" - || falha "purge mexeu nos arquivos do posto (acima)."

echo "OK: abastecimentos de 10, 20 (pendente no diário) e 30 L (off-line) gravados uma vez cada;"
echo "    configurações, logs e arquivos do posto intactos na atualização de $VERSAO para $NOVA; purge os manteve."

// The settings reader and writer on arbitrary file contents: no crash, and a
// value written is the value read back, whatever else the file holds.
#include "UArquivoIni.h"
#include "UErro.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

namespace {

QString FCaminhoTemporario()
{
    static const QString caminho = QDir::temp().filePath(QStringLiteral("fuzz-ini-%1.ini").arg(getpid()));
    return caminho;
}

void PGravaBytes(const QString& pCaminho, const uint8_t* pDados, size_t pTamanho)
{
    QFile arquivo(pCaminho);
    if (!arquivo.open(QIODevice::WriteOnly | QIODevice::Truncate))
        __builtin_trap();
    arquivo.write(reinterpret_cast<const char*>(pDados), static_cast<qint64>(pTamanho));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pDados, size_t pTamanho)
{
    const QString caminho = FCaminhoTemporario();
    PGravaBytes(caminho, pDados, pTamanho);
    const TArquivoIni ini(caminho);
    (void)ini.FLeTexto(QStringLiteral("BANCO"), QStringLiteral("Local"), QString());
    (void)ini.FLeInteiro(QStringLiteral("CONCENTRADOR"), QStringLiteral("Porta"), 7);
    (void)ini.FLeBooleano(QStringLiteral("FCM1"), QStringLiteral("AUTORIZAAUTO"), true);

    // The keys the program writes, with names that also appear in garbage.
    const QString secao = QStringLiteral("FCM1");
    const QString chave = QStringLiteral("QtdBombas");
    try {
        ini.PGravaInteiro(secao, chave, 12);
    } catch (const EErro&) {
        return 0; // a file that cannot be read back is left alone
    }
    if (ini.FLeInteiro(secao, chave, -1) != 12)
        __builtin_trap();
    return 0;
}

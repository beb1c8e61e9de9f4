// The day log's line splitting, the settings reader's number rule and the
// number formats on arbitrary input.
#include "UArquivoIni.h"
#include "UGenerico.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pDados, size_t pTamanho)
{
    const QString texto = QString::fromLatin1(reinterpret_cast<const char*>(pDados), static_cast<qsizetype>(pTamanho));
    QString junto;
    QString redividido;
    for (const QString& linha : TGenerico::FDivideLinhas(texto)) {
        junto += linha;
        redividido += linha + QStringLiteral("\r\n");
    }
    if (junto.size() > texto.size())
        __builtin_trap(); // lines can only lose their ends
    QString noLugar = texto;
    TGenerico::PRedivideLinhas(noLugar);
    if (noLugar != redividido)
        __builtin_trap(); // the log's two ways of re-splitting must agree
    int inteiro = 0;
    (void)TArquivoIni::FEhInteiro(texto, inteiro);
    if (pTamanho >= sizeof(double)) {
        double valor = 0;
        std::memcpy(&valor, pDados, sizeof valor);
        (void)TGenerico::FFormataNumero(valor, static_cast<int>(pDados[0] % 4));
        (void)TGenerico::FFormataGeral(valor);
    }
    try {
        (void)TGenerico::FLeNumero(texto);
    } catch (const std::exception&) {
    }
    return 0;
}

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
    for (const QString& linha : TGenerico::FDivideLinhas(texto))
        junto += linha;
    if (junto.size() > texto.size())
        __builtin_trap(); // lines can only lose their ends
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

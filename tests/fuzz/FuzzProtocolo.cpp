// The component protocol's line reader and decoder on arbitrary bytes.
#include "UProtocoloFcm.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pDados, size_t pTamanho)
{
    ProtocoloFcm::TLeitorLinhas leitor;
    leitor.PAdiciona(QByteArray(reinterpret_cast<const char*>(pDados), static_cast<qsizetype>(pTamanho)));
    while (const auto linha = leitor.FProxima())
        (void)ProtocoloFcm::FDecodifica(*linha);
    (void)leitor.FExcedeu();
    return 0;
}

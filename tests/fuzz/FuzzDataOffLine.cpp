// The off-line date and time decoding on any pair of 32-bit numbers.
#include "UCapturaAbastecimento.h"

#include <QDate>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pDados, size_t pTamanho)
{
    if (pTamanho < 8)
        return 0;
    int32_t numeros[2];
    std::memcpy(numeros, pDados, sizeof numeros);
    const auto dataHora = TCapturaAbastecimento::FDecodificaDataHora(numeros[0], numeros[1], QDate(2026, 12, 10));
    if (dataHora && !dataHora->isValid())
        __builtin_trap();
    (void)TCapturaAbastecimento::FTextoData(numeros[0]);
    (void)TCapturaAbastecimento::FTextoHora(numeros[1]);
    return 0;
}

#include "ULoteLog.h"

#include "UErro.h"
#include "UGenerico.h"

namespace {

thread_local TLoteLog* vLote = nullptr;

} // namespace

TLoteLog::TLoteLog()
{
    // One at a time: an inner group's entries go with the outer one's.
    if (vLote)
        return;
    vLote = this;
    vAtivo = true;
}

TLoteLog::~TLoteLog()
{
    try {
        PGrava();
    } catch (const EErro&) {
        // a failure already under way is the one reported
    }
}

void TLoteLog::PGrava()
{
    if (!vAtivo)
        return;
    vAtivo = false;
    vLote = nullptr;
    const QStringList entradas = std::exchange(vEntradas, {});
    if (!entradas.isEmpty())
        TGenerico::PGeraLog(entradas);
}

bool TLoteLog::FRecolhe(const QString& pDados)
{
    if (!vLote)
        return false;
    vLote->vEntradas.append(pDados);
    return true;
}

// The helpers of TGenerico that put something before the operator; the rest
// of the class needs no widgets and lives in UGenerico.cpp.
#include "UGenerico.h"

#include "UMensagem.h"

bool TGenerico::FRetornaErroConcentrador(int pMetodo)
{
    if (pMetodo == 1)
        return true;
    const QString texto = FTextoErroConcentrador(pMetodo);
    if (!texto.isEmpty())
        TFrmMensagem::FMessageDlg(texto, tmAlerta, bmOk, 0);
    return false;
}

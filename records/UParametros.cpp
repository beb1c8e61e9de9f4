#include "UParametros.h"

#include "UArquivoIni.h"
#include "UDiretorioPrograma.h"

namespace {

const QString cAbastecimento = QStringLiteral("ABASTECIMENTO");

TConcentrador FLeConcentrador(const TArquivoIni& pArquivo, int pNumero)
{
    const QString secao = QStringLiteral("FCM") + QString::number(pNumero);
    TConcentrador concentrador;
    concentrador.SetModoOperacao(pArquivo.FLeInteiro(secao, QStringLiteral("MODOOPERACAO"), 0));
    concentrador.SetMensagemAbast(pArquivo.FLeInteiro(secao, QStringLiteral("MENSAGEMABAST"), 0));
    concentrador.SetNumBombas(pArquivo.FLeInteiro(secao, QStringLiteral("NUMBOMBAS"), 0));
    return concentrador;
}

} // namespace

QString TParametros::FCaminhoArquivo()
{
    return TDiretorioPrograma::FArquivo(QStringLiteral("ConcentradorTarnex.ini"));
}

TParametros::TParametros()
{
    const TArquivoIni arquivo(FCaminhoArquivo());
    vAutorizaAuto = arquivo.FLeBooleano(cAbastecimento, QStringLiteral("AUTORIZAAUTO"), false);
    for (int n = 1; n <= 4; ++n)
        vFcm[n - 1] = FLeConcentrador(arquivo, n);
}

int TParametros::Id() const
{
    {
        const std::lock_guard trava(vTravaId);
        if (vIdNaoGravado)
            return *vIdNaoGravado;
    }
    return TArquivoIni(FCaminhoArquivo()).FLeInteiro(cAbastecimento, QStringLiteral("ID"), 1);
}

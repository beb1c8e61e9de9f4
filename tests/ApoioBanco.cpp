#include "ApoioBanco.h"

#include "UEstacao.h"
#include "UGenerico.h"

#include <QDate>
#include <QFileInfo>

TPostoTeste::TPostoTeste(bool pDemo)
{
    TEstacao::PCriaBanco(FCaminhoBanco(), QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), pDemo);
    TEstacao::PGravaConfiguracao(vDir.FCaminho(QString()), FCaminhoBanco(), QStringLiteral("SYSDBA"),
                                 QStringLiteral("masterkey"), false);
    vConexao.PConecta(FCaminhoBanco(), QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), QString());
}

TPostoTeste::TPostoTeste(const std::function<QString(const QString&)>& pLocal, const QString& pUsuario,
                         const QString& pSenha)
{
    const QString local = pLocal(FCaminhoBanco());
    TEstacao::PCriaBanco(local, pUsuario, pSenha, false);
    TEstacao::PGravaConfiguracao(vDir.FCaminho(QString()), local, pUsuario, pSenha, false);
    vConexao.PConecta(local, pUsuario, pSenha, QString());
}

TPostoTeste::~TPostoTeste() = default;

void TPostoTeste::PCadastraBico(const QString& pCodConcentrador, const QString& pCodBico, const QString& pTanque,
                                const QString& pDescricao, double pPreco)
{
    vConexao.PExecuta(QStringLiteral("insert into bombas (codbico, codempresa, codtanque, descricao, precovenda, "
                                     "statusbico, codconcentrador) values (:b, '001', :t, :d, :p, 'L', :c)"),
                      {{QStringLiteral("b"), pCodBico},
                       {QStringLiteral("t"), pTanque},
                       {QStringLiteral("d"), pDescricao},
                       {QStringLiteral("p"), pPreco},
                       {QStringLiteral("c"), pCodConcentrador}});
}

void TPostoTeste::PCadastraTanque(const QString& pCodTanque, const QString& pCodProd)
{
    vConexao.PExecuta(QStringLiteral("insert into tanques (codtanque, codprod) values (:t, :p)"),
                      {{QStringLiteral("t"), pCodTanque}, {QStringLiteral("p"), pCodProd}});
}

QByteArray TPostoTeste::FLog() const
{
    return vDir.FLe(QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName());
}

QString TPostoTeste::FLinhas(const QString& pSql)
{
    const TResultadoSql r = vConexao.FConsulta(pSql);
    QStringList linhas;
    for (int i = 0; i < r.Linhas(); ++i) {
        QStringList campos;
        for (int c = 0; c < r.Colunas(); ++c)
            campos.append(r.FTexto(i, r.Nomes().at(c)));
        linhas.append(campos.join(QLatin1Char('|')));
    }
    return linhas.join(QLatin1Char('\n'));
}

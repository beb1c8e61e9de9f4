#include "UEstacao.h"

#include "UArquivoIni.h"
#include "UErro.h"
#include "UFirebird.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace {

QString FScript(const QString& pRecurso)
{
    QFile arquivo(pRecurso);
    if (!arquivo.open(QIODevice::ReadOnly))
        throw EErro(QStringLiteral("Script %1 não encontrado.").arg(pRecurso));
    return QString::fromUtf8(arquivo.readAll());
}

void PRoda(TConexaoFirebird& pConexao, const QString& pRecurso)
{
    for (const QString& comando : TEstacao::FComandos(FScript(pRecurso)))
        pConexao.PExecuta(comando);
}

} // namespace

QStringList TEstacao::FComandos(const QString& pScript)
{
    QStringList comandos;
    QString atual;
    for (const QString& linha : pScript.split(QLatin1Char('\n'))) {
        if (linha.trimmed().startsWith(QStringLiteral("--")))
            continue;
        atual += linha + QLatin1Char('\n');
        if (linha.trimmed().endsWith(QLatin1Char(';'))) {
            comandos.append(atual.trimmed().chopped(1));
            atual.clear();
        }
    }
    if (!atual.trimmed().isEmpty())
        comandos.append(atual.trimmed());
    return comandos;
}

void TEstacao::PCriaBanco(const QString& pBanco, const QString& pUsuario, const QString& pSenha, bool pDemo)
{
    TConexaoFirebird::PCriaBanco(pBanco, pUsuario, pSenha);
    TConexaoFirebird conexao;
    conexao.PConecta(pBanco, pUsuario, pSenha, QString());
    PRoda(conexao, QStringLiteral(":/posto/esquema.sql"));
    if (pDemo)
        PRoda(conexao, QStringLiteral(":/posto/posto_demo.sql"));
}

QString TEstacao::FCodifica(const QString& pSenha)
{
    QString codificada;
    for (qsizetype i = pSenha.size() - 1; i >= 0; --i) {
        const int codigo = pSenha.at(i).unicode();
        if (codigo > 999)
            throw EErro(QStringLiteral("O caractere '%1' não pode ser gravado na senha.").arg(pSenha.at(i)));
        codificada += QStringLiteral("%1").arg(codigo, 3, 10, QLatin1Char('0'));
    }
    return codificada;
}

void TEstacao::PGravaConfiguracao(const QString& pDiretorio, const QString& pBanco, const QString& pUsuario,
                                  const QString& pSenha, bool pDemo)
{
    const QDir diretorio(pDiretorio);
    const TArquivoIni zelvio(diretorio.filePath(QStringLiteral("ZelvioECF.ini")));
    const QString conexao = QStringLiteral("CONEXAO");
    zelvio.PGravaTexto(conexao, QStringLiteral("CAMINHO"), pBanco);
    zelvio.PGravaTexto(conexao, QStringLiteral("USER"), pUsuario);
    zelvio.PGravaTexto(conexao, QStringLiteral("PASSWORD"), FCodifica(pSenha));
    if (!pDemo)
        return;
    const TArquivoIni tarnex(diretorio.filePath(QStringLiteral("ConcentradorTarnex.ini")));
    for (const int n : {1, 2}) {
        const QString secao = QStringLiteral("FCM%1").arg(n);
        tarnex.PGravaInteiro(secao, QStringLiteral("MODOOPERACAO"), 0);
        tarnex.PGravaInteiro(secao, QStringLiteral("MENSAGEMABAST"), n - 1);
        tarnex.PGravaInteiro(secao, QStringLiteral("NUMBOMBAS"), 4);
    }
}

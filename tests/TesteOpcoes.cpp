#include "ApoioConcentrador.h"
#include "UDiretorioPrograma.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct TResultado {
    bool vTerminou = false;
    int vCodigo = -1;
    QString vSaida;
    QString vErro;
};

TResultado FRoda(const QString& pPrograma, const QStringList& pArgs, const QString& pDiretorioTrabalho)
{
    QProcess processo;
    processo.setWorkingDirectory(pDiretorioTrabalho);
    processo.start(TDiretorioPrograma::FDiretorioExecutavel() + pPrograma, pArgs);
    TResultado resultado;
    resultado.vTerminou = processo.waitForFinished(15000) && processo.exitStatus() == QProcess::NormalExit;
    if (!resultado.vTerminou) {
        processo.kill();
        processo.waitForFinished(2000);
    }
    resultado.vCodigo = processo.exitCode();
    resultado.vSaida = QString::fromLocal8Bit(processo.readAllStandardOutput());
    resultado.vErro = QString::fromLocal8Bit(processo.readAllStandardError());
    return resultado;
}

enum class TResposta { Ajuda, Versao, ErroDeUso };

struct TCaso {
    const char* vPrograma;
    QStringList vArgs; // "DIR" stands for the test's directory
    TResposta vResposta;
    const char* vMotivo = ""; // the line on standard error before the usage
};

std::ostream& operator<<(std::ostream& pSaida, const TCaso& pCaso)
{
    return pSaida << pCaso.vPrograma << ' ' << pCaso.vArgs.join(QLatin1Char(' ')).toStdString();
}

QStringList A(std::initializer_list<const char*> pArgs)
{
    QStringList args;
    for (const char* arg : pArgs)
        args.append(QString::fromUtf8(arg));
    return args;
}

// Help, version and a wrong command line end the program before it does
// anything: nothing appears in the directory it was pointed at, the server
// does not start, criaposto creates no database.
class LinhaDeComando : public ::testing::TestWithParam<TCaso> {};

TEST_P(LinhaDeComando, AnswersOnTheRightChannelWithTheRightCodeAndDoesNothingElse)
{
    const TCaso& caso = GetParam();
    TDiretorioTeste dir;
    const QString posto = dir.FCaminho(QString());
    QStringList args = caso.vArgs;
    args.replaceInStrings(QRegularExpression(QStringLiteral("^DIR$")), posto);
    const QString programa = QString::fromUtf8(caso.vPrograma);
    const TResultado r = FRoda(programa, args, posto);

    ASSERT_TRUE(r.vTerminou) << "did not end; output: " << r.vSaida.toStdString() << r.vErro.toStdString();
    const QString uso = QStringLiteral("Uso: %1 [opções]").arg(programa);
    switch (caso.vResposta) {
    case TResposta::Ajuda:
        EXPECT_EQ(r.vCodigo, 0);
        EXPECT_TRUE(r.vSaida.startsWith(uso)) << r.vSaida.toStdString();
        EXPECT_TRUE(r.vSaida.contains(QStringLiteral("  -h, --help"))) << r.vSaida.toStdString();
        EXPECT_EQ(r.vErro, QString());
        break;
    case TResposta::Versao:
        EXPECT_EQ(r.vCodigo, 0);
        EXPECT_EQ(r.vSaida, QStringLiteral("%1 %2\n").arg(programa, QStringLiteral(TARNEX_VERSAO)));
        EXPECT_EQ(r.vErro, QString());
        break;
    case TResposta::ErroDeUso:
        EXPECT_EQ(r.vCodigo, 64);
        EXPECT_EQ(r.vSaida, QString());
        EXPECT_TRUE(r.vErro.startsWith(QStringLiteral("%1: %2").arg(programa, QString::fromUtf8(caso.vMotivo))))
            << r.vErro.toStdString();
        EXPECT_TRUE(r.vErro.contains(QStringLiteral(".\n\n") + uso)) << r.vErro.toStdString();
        break;
    }
    EXPECT_EQ(QDir(posto).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Ferramentas, LinhaDeComando,
    ::testing::Values(
        TCaso{"FcmMasterX", A({"--dir", "DIR", "--help"}), TResposta::Ajuda},
        TCaso{"FcmMasterX", A({"-h", "--dir", "DIR"}), TResposta::Ajuda},
        TCaso{"FcmMasterX", A({"--dir=DIR", "--version"}), TResposta::Versao},
        TCaso{"FcmMasterX", A({"--dir", "DIR", "-v"}), TResposta::Versao},
        TCaso{"FcmMasterX", A({"--dir", "DIR", "--diretorio", "DIR"}), TResposta::ErroDeUso,
              "Opção desconhecida: 'diretorio'."},
        TCaso{"FcmMasterX", A({"--dir"}), TResposta::ErroDeUso, "Falta o valor depois de '--dir'."},
        TCaso{"FcmMasterX", A({"--dir", "DIR", "DIR"}), TResposta::ErroDeUso, "argumento a mais: '/"},
        TCaso{"fcmsim", A({"--dir", "DIR", "--help"}), TResposta::Ajuda},
        // Help wins over a verb, which is then not run.
        TCaso{"fcmsim", A({"--dir", "DIR", "abastece", "1", "2", "1", "1.5", "-h"}), TResposta::Ajuda},
        TCaso{"fcmsim", A({"--version"}), TResposta::Versao},
        TCaso{"fcmsim", A({"--dir", "DIR", "estado", "-v"}), TResposta::Versao},
        TCaso{"fcmsim", A({"--dir", "DIR", "estado", "--rapido"}), TResposta::ErroDeUso,
              "Opção desconhecida: 'rapido'."},
        TCaso{"fcmsim", A({"--dir", "DIR", "abastece", "1", "2", "1", "1.5", "--ms"}), TResposta::ErroDeUso,
              "Falta o valor depois de '--ms'."},
        TCaso{"fcmsim", A({"--dir", "DIR"}), TResposta::ErroDeUso, "falta o verbo."},
        TCaso{"fcmsim", A({"--dir", "DIR", "abastecer", "1"}), TResposta::ErroDeUso,
              "verbo desconhecido: 'abastecer'."},
        TCaso{"fcmsim", A({"--dir", "DIR", "abastece", "1", "2", "1"}), TResposta::ErroDeUso,
              "faltam argumentos para abastece."},
        TCaso{"fcmsim", A({"--dir", "DIR", "falha", "-7"}), TResposta::ErroDeUso, "faltam argumentos para falha."},
        TCaso{"fcmsim", A({"--dir", "DIR", "demo", "--ms", "0"}), TResposta::ErroDeUso, "--ms não serve para demo."},
        // A lost fueling that would move no meter, or no named nozzle's, is
        // refused before the server is asked.
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "2", "1"}), TResposta::ErroDeUso,
              "faltam argumentos para perde."},
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "2", "1", "0"}), TResposta::ErroDeUso,
              "perde precisa de um volume maior que zero, não '0'."},
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "2", "1", "0,0004"}), TResposta::ErroDeUso,
              "perde precisa de um volume maior que zero, não '0,0004'."},
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "2", "1", "-1.5"}), TResposta::ErroDeUso,
              "'-1.5' não é um volume em litros."},
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "2", "1", "nan"}), TResposta::ErroDeUso,
              "'nan' não é um volume em litros."},
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "dois", "1", "1"}), TResposta::ErroDeUso,
              "'dois' não é um número inteiro."},
        TCaso{"fcmsim", A({"--dir", "DIR", "perde", "1", "2", "1", "1", "--ms", "0"}), TResposta::ErroDeUso,
              "--ms não serve para perde."},
        TCaso{"criaposto", A({"--dir", "DIR", "--help"}), TResposta::Ajuda},
        TCaso{"criaposto", A({"--dir", "DIR", "--sem-demo", "-h"}), TResposta::Ajuda},
        TCaso{"criaposto", A({"--dir", "DIR", "--version"}), TResposta::Versao},
        TCaso{"criaposto", A({"-v", "--dir", "DIR"}), TResposta::Versao},
        TCaso{"criaposto", A({"--dir", "DIR", "--sem-dmo"}), TResposta::ErroDeUso, "Opção desconhecida: 'sem-dmo'."},
        TCaso{"criaposto", A({"--dir", "DIR", "--senha"}), TResposta::ErroDeUso, "Falta o valor depois de '--senha'."},
        TCaso{"criaposto", A({"--dir", "DIR", "--sem-demo=sim"}), TResposta::ErroDeUso,
              "'--sem-demo' não leva valor."},
        TCaso{"criaposto", A({"--dir", "DIR", "posto.fdb"}), TResposta::ErroDeUso,
              "argumento a mais: 'posto.fdb'."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--help"}), TResposta::Ajuda},
        TCaso{"auditoria-encerrantes", A({"--dia", "03/11/2015", "-h"}), TResposta::Ajuda},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--version"}), TResposta::Versao},
        TCaso{"auditoria-encerrantes", A({"-v", "--csv"}), TResposta::Versao},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--data", "03/11/2015"}), TResposta::ErroDeUso,
              "Opção desconhecida: 'data'."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--dia"}), TResposta::ErroDeUso,
              "Falta o valor depois de '--dia'."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--dia", "31/02/2015"}), TResposta::ErroDeUso,
              "data inválida em --dia: '31/02/2015' (use DD/MM/AAAA)."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--de", "2015-11-03"}), TResposta::ErroDeUso,
              "data inválida em --de: '2015-11-03' (use DD/MM/AAAA)."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--de", "04/11/2015", "--ate", "03/11/2015"}),
              TResposta::ErroDeUso, "--de depois de --ate."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--ate", "03/11/2015"}), TResposta::ErroDeUso,
              "--ate pede --de."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--dia", "03/11/2015", "--de", "01/11/2015"}),
              TResposta::ErroDeUso, "--dia não se junta a --de nem a --ate."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "--csv=sim"}), TResposta::ErroDeUso,
              "'--csv' não leva valor."},
        TCaso{"auditoria-encerrantes", A({"--dir", "DIR", "03/11/2015"}), TResposta::ErroDeUso,
              "argumento a mais: '03/11/2015'."}));

// The spellings the scripts, tests and guides use keep working: a negative
// number as a verb's argument, an option after the verb's arguments, and
// --opcao=valor.
class Grafias : public ::testing::Test {
protected:
    int FFcmsimComIgual(const QStringList& pArgs, QString* pSaida)
    {
        const TResultado r =
            FRoda(QStringLiteral("fcmsim"), QStringList{QStringLiteral("--dir=") + vDir.FCaminho(QString())} + pArgs,
                  vDir.FCaminho(QString()));
        *pSaida = r.vSaida + r.vErro;
        return r.vCodigo;
    }

    TDiretorioTeste vDir;
    TServidorTeste vServidor;
};

TEST_F(Grafias, ANegativeReturnCodeAndItsCountReachTheServer)
{
    QString saida;
    ASSERT_EQ(vServidor.FFcmsimAteOFim(A({"falha", "FcmOpen", "-7", "2"}), &saida), 0) << saida.toStdString();
    QStringList respostas;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(vServidor.FFcmsimAteOFim(A({"chama", "FcmOpen", "1"}), &saida), 0) << saida.toStdString();
        respostas.append(saida.trimmed());
    }
    EXPECT_EQ(respostas, QStringList({QStringLiteral("-7"), QStringLiteral("-7"), QStringLiteral("1")}));
}

TEST_F(Grafias, AnOptionAfterTheVerbsArgumentsAndAnOptionWithItsValueJoined)
{
    QString saida;
    ASSERT_EQ(FFcmsimComIgual(A({"chama", "FcmOpen", "1"}), &saida), 0) << saida.toStdString();
    ASSERT_EQ(vServidor.FFcmsimAteOFim(A({"chama", "FcmConfigConcentradorFcm", "1", "4", "10", "1"}), &saida), 0)
        << saida.toStdString();
    ASSERT_EQ(vServidor.FFcmsimAteOFim(A({"abastece", "1", "2", "1", "1,5", "--ms", "0"}), &saida), 0)
        << saida.toStdString();
    // Off-line: no connector listens.
    EXPECT_TRUE(saida.startsWith(QStringLiteral("Abastecimento no bico 1-2-1: 1.500 L"))) << saida.toStdString();
    ASSERT_EQ(FFcmsimComIgual(A({"abastece", "--ms=0", "1", "3", "1", "2.25"}), &saida), 0) << saida.toStdString();
    EXPECT_TRUE(saida.startsWith(QStringLiteral("Abastecimento no bico 1-3-1: 2.250 L"))) << saida.toStdString();
    // A lost fueling takes litres as abastece does and moves the meter as far.
    ASSERT_EQ(vServidor.FFcmsimAteOFim(A({"perde", "1", "2", "1", "2,5"}), &saida), 0) << saida.toStdString();
    EXPECT_TRUE(saida.startsWith(QStringLiteral("Abastecimento perdido no bico 1-2-1: 2.500 L, sem evento; "
                                                "totalizador 4.00")))
        << saida.toStdString();
    ASSERT_EQ(FFcmsimComIgual(A({"perde", "1", "3", "1", "0.755"}), &saida), 0) << saida.toStdString();
    EXPECT_TRUE(saida.startsWith(QStringLiteral("Abastecimento perdido no bico 1-3-1: 0.755 L, sem evento; "
                                                "totalizador 3.01")))
        << saida.toStdString();
}

// The manual pages are written by hand: each option and verb a tool's help
// lists must be in its page too.
class PaginasDeManual : public ::testing::TestWithParam<const char*> {};

QStringList FNomesDaAjuda(const QString& pAjuda)
{
    QStringList nomes;
    static const QRegularExpression opcao(QStringLiteral("^  (?:-\\w, )?--([\\w-]+)"),
                                          QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& m : opcao.globalMatch(pAjuda))
        nomes.append(QStringLiteral("\\-\\-") + QString(m.captured(1)).replace(QLatin1Char('-'), QStringLiteral("\\-")));
    const qsizetype verbos = pAjuda.indexOf(QStringLiteral("Verbos:\n"));
    if (verbos >= 0) {
        static const QRegularExpression verbo(QStringLiteral("^  ([a-z]+)\\b"), QRegularExpression::MultilineOption);
        const QString secao = pAjuda.mid(verbos, pAjuda.indexOf(QStringLiteral("\n\n"), verbos) - verbos);
        for (const QRegularExpressionMatch& m : verbo.globalMatch(secao))
            nomes.append(m.captured(1));
    }
    return nomes;
}

TEST_P(PaginasDeManual, NameEveryOptionAndVerbOfTheHelp)
{
    TDiretorioTeste dir;
    const QString programa = QString::fromUtf8(GetParam());
    const TResultado r = FRoda(programa, A({"--help"}), dir.FCaminho(QString()));
    ASSERT_EQ(r.vCodigo, 0) << r.vErro.toStdString();
    QFile pagina(QStringLiteral(TARNEX_FONTES "/packaging/man/%1.1.in").arg(programa));
    ASSERT_TRUE(pagina.open(QIODevice::ReadOnly)) << pagina.fileName().toStdString();
    const QString texto = QString::fromUtf8(pagina.readAll());
    const QStringList nomes = FNomesDaAjuda(r.vSaida);
    ASSERT_GE(nomes.size(), 3) << r.vSaida.toStdString();
    for (const QString& nome : nomes)
        EXPECT_TRUE(texto.contains(nome)) << nome.toStdString() << " is in the help, not in " << pagina.fileName().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ferramentas, PaginasDeManual, ::testing::Values("FcmMasterX", "fcmsim", "criaposto",
                                                                  "auditoria-encerrantes"));

} // namespace

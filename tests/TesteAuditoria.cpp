#include "ApoioBanco.h"
#include "ApoioServidorFirebird.h"
#include "UAuditoriaEncerrantes.h"
#include "UConfiguracaoRegional.h"
#include "UDiretorioPrograma.h"
#include "UEstacao.h"
#include "UGenerico.h"

#include <QDate>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct TAbastecimentoTeste {
    const char* vBico;
    QDate vData;
    const char* vHora;
    double vLitragem;
    double vEncerrante;
    int vSequencia;
};

struct TCasoAuditoria {
    const char* vNome;
    std::vector<TAbastecimentoTeste> vAbastecimentos;
    QDate vDe;
    QDate vAte;
    QString vCsv;
    QStringList vLinhasTabela;
};

std::ostream& operator<<(std::ostream& pSaida, const TCasoAuditoria& pCaso)
{
    return pSaida << pCaso.vNome;
}

const QDate cDia2(2015, 11, 2);
const QDate cDia3(2015, 11, 3);
const QDate cDia4(2015, 11, 4);

const QString cCabecalhoCsv = QStringLiteral(
    "Bico;Tipo;Data;Hora;Abastecimentos;Encerrante inicial;Encerrante final;Litros abastecidos;Diferença\n");

void PGrava(TPostoTeste& pPosto, const TAbastecimentoTeste& pAbastecimento)
{
    pPosto.Conexao().PExecuta(
        QStringLiteral("insert into mvabast (data, hora, codbico, litragem, encerrantefinal, sequencia, id) "
                       "values (:d, :h, :b, :l, :e, :s, :s)"),
        {{QStringLiteral("d"), pAbastecimento.vData.toString(QStringLiteral("dd.MM.yyyy"))},
         {QStringLiteral("h"), QString::fromUtf8(pAbastecimento.vHora)},
         {QStringLiteral("b"), QString::fromUtf8(pAbastecimento.vBico)},
         {QStringLiteral("l"), pAbastecimento.vLitragem},
         {QStringLiteral("e"), pAbastecimento.vEncerrante},
         {QStringLiteral("s"), pAbastecimento.vSequencia}});
}

// The table follows the workstation's separators; the cases fix them, and
// the settings of the system come back after each.
class Auditoria : public ::testing::TestWithParam<TCasoAuditoria> {
protected:
    void SetUp() override { TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':')); }
    void TearDown() override { TConfiguracaoRegional::PCarregaDoSistema(); }

    TPostoTeste vPosto;
};

TEST_P(Auditoria, FindsEveryLitreTheTotaliserCountedOutsideTheStoredFuelings)
{
    const TCasoAuditoria& caso = GetParam();
    for (const TAbastecimentoTeste& abastecimento : caso.vAbastecimentos)
        PGrava(vPosto, abastecimento);
    const std::vector<TBicoAuditado> bicos = TAuditoriaEncerrantes::FAudita(vPosto.Conexao(), caso.vDe, caso.vAte);

    EXPECT_EQ(TAuditoriaEncerrantes::FCsv(bicos), cCabecalhoCsv + caso.vCsv);
    const QString tabela = TAuditoriaEncerrantes::FTabela(bicos, caso.vDe, caso.vAte);
    const QStringList linhas = tabela.split(QLatin1Char('\n'));
    for (const QString& linha : caso.vLinhasTabela)
        EXPECT_TRUE(linhas.contains(linha)) << "missing line: " << linha.toStdString() << "\nin:\n"
                                            << tabela.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Encerrantes, Auditoria,
    ::testing::Values(
        TCasoAuditoria{"SemFalta",
                       {{"01-01", cDia3, "08:00:00", 10.0, 1010.0, 1},
                        {"01-01", cDia3, "09:00:00", 20.5, 1030.5, 2},
                        {"01-01", cDia3, "10:00:00", 5.0, 1035.5, 3}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;3;1000,000;1035,500;35,500;0,000\n"),
                       {QStringLiteral("Auditoria de encerrantes de 03/11/2015"),
                        QStringLiteral("01-01                    3            1000,000          1035,500"
                                       "              35,500       0,000"),
                        QStringLiteral("Bico 01-01: sem falta.")}},
        // Each reading is rounded: two roundings apart is the same litre,
        // one thousandth more is fuel that left the pump.
        TCasoAuditoria{"ArredondamentoNaoEFaltaUmMilesimoAMaisE",
                       {{"01-01", cDia3, "08:00:00", 10.0, 1010.0, 1},
                        {"01-01", cDia3, "09:00:00", 20.0, 1030.002, 2},
                        {"01-01", cDia3, "10:00:00", 5.0, 1035.001, 3},
                        {"01-01", cDia3, "11:00:00", 5.0, 1040.004, 4}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;4;1000,000;1040,004;40,000;0,004\n"
                                      "01-01;falta;03/11/2015;11:00:00;;1035,001;1035,004;;0,003\n"),
                       {QStringLiteral("Bico 01-01: 1 falta, 0,003 L saíram da bomba sem abastecimento."),
                        QStringLiteral("  03/11/2015 11:00:00  falta      de 1035,001 a 1035,004  0,003 L")}},
        TCasoAuditoria{"FaltaEntreDoisAbastecimentos",
                       {{"01-01", cDia3, "08:00:00", 10.0, 1010.0, 1},
                        {"01-01", cDia3, "08:30:15", 12.345, 1025.0, 2}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;2;1000,000;1025,000;22,345;2,655\n"
                                      "01-01;falta;03/11/2015;08:30:15;;1010,000;1012,655;;2,655\n"),
                       {QStringLiteral("Bico 01-01: 1 falta, 2,655 L saíram da bomba sem abastecimento."),
                        QStringLiteral("  03/11/2015 08:30:15  falta      de 1010,000 a 1012,655  2,655 L")}},
        // The meter wrapped past its largest value: a new base, no gap,
        // and the litres after it are checked against it.
        TCasoAuditoria{"NovaBaseNaoEFalta",
                       {{"01-01", cDia3, "08:00:00", 10.0, 999990.0, 1},
                        {"01-01", cDia3, "09:00:00", 15.0, 15.0, 2},
                        {"01-01", cDia3, "10:00:00", 5.0, 20.0, 3}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;3;999980,000;20,000;30,000;0,000\n"
                                      "01-01;nova base;03/11/2015;09:00:00;;999990,000;0,000;;-999990,000\n"),
                       {QStringLiteral("Bico 01-01: sem falta."),
                        QStringLiteral("  03/11/2015 09:00:00  nova base  de 999990,000 a 0,000  -999990,000 L")}},
        // Taken together, the two nozzles' readings would jump back and
        // forth at every fueling.
        TCasoAuditoria{"DoisBicosIndependentes",
                       {{"01-01", cDia3, "08:00:00", 10.0, 110.0, 1},
                        {"01-02", cDia3, "09:00:00", 5.0, 505.0, 2},
                        {"01-01", cDia3, "10:00:00", 10.0, 120.0, 3},
                        {"01-02", cDia3, "11:00:00", 5.0, 515.0, 4}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;2;100,000;120,000;20,000;0,000\n"
                                      "01-02;resumo;;;2;500,000;515,000;10,000;5,000\n"
                                      "01-02;falta;03/11/2015;11:00:00;;505,000;510,000;;5,000\n"),
                       {QStringLiteral("Bico 01-01: sem falta."),
                        QStringLiteral("Bico 01-02: 1 falta, 5,000 L saíram da bomba sem abastecimento.")}},
        // Past midnight the hour goes back and the date forward; the days
        // either side of the period would each show a gap.
        TCasoAuditoria{"PeriodoDeDias",
                       {{"01-01", QDate(2015, 11, 1), "12:00:00", 10.0, 900.0, 1},
                        {"01-01", cDia2, "23:50:00", 10.0, 1010.0, 2},
                        {"01-01", cDia3, "00:10:00", 10.0, 1020.0, 3},
                        {"01-01", cDia3, "07:00:00", 10.0, 1033.0, 4},
                        {"01-01", cDia4, "06:00:00", 10.0, 2000.0, 5}},
                       cDia2,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;3;1000,000;1033,000;30,000;3,000\n"
                                      "01-01;falta;03/11/2015;07:00:00;;1020,000;1023,000;;3,000\n"),
                       {QStringLiteral("Auditoria de encerrantes de 02/11/2015 a 03/11/2015"),
                        QStringLiteral("  03/11/2015 07:00:00  falta      de 1020,000 a 1023,000  3,000 L")}},
        TCasoAuditoria{"OutrosDiasFicamDeFora",
                       {{"01-01", cDia2, "08:00:00", 10.0, 900.0, 1},
                        {"01-01", cDia3, "08:00:00", 10.0, 1010.0, 2},
                        {"01-01", cDia3, "09:00:00", 10.0, 1020.0, 3},
                        {"01-01", cDia4, "08:00:00", 10.0, 2000.0, 4}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;2;1000,000;1020,000;20,000;0,000\n"),
                       {QStringLiteral("Bico 01-01: sem falta.")}},
        // Two fuelings stored in the same second: the connector's sequence
        // gives their order, not the order of the rows.
        TCasoAuditoria{"MesmoSegundoPelaSequencia",
                       {{"01-01", cDia3, "08:00:00", 10.0, 1020.0, 2},
                        {"01-01", cDia3, "08:00:00", 10.0, 1010.0, 1}},
                       cDia3,
                       cDia3,
                       QStringLiteral("01-01;resumo;;;2;1000,000;1020,000;20,000;0,000\n"),
                       {QStringLiteral("Bico 01-01: sem falta.")}},
        TCasoAuditoria{"NenhumAbastecimento",
                       {{"01-01", cDia2, "08:00:00", 10.0, 1010.0, 1}},
                       cDia3,
                       cDia3,
                       QString(),
                       {QStringLiteral("Nenhum abastecimento no período.")}}),
    [](const ::testing::TestParamInfo<TCasoAuditoria>& pInfo) { return std::string(pInfo.param.vNome); });

struct TSaidaPrograma {
    int vCodigo = -1;
    QByteArray vSaida;
    QString vErro;
};

TSaidaPrograma FRodaAuditoria(const QStringList& pArgs)
{
    QProcess processo;
    processo.start(TDiretorioPrograma::FDiretorioExecutavel() + QStringLiteral("auditoria-encerrantes"), pArgs);
    const bool terminou = processo.waitForFinished(30000);
    if (!terminou) {
        processo.kill();
        processo.waitForFinished(2000);
    }
    return {terminou ? processo.exitCode() : -1, processo.readAllStandardOutput(),
            QString::fromLocal8Bit(processo.readAllStandardError())};
}

// The program as the station runs it: a database on a server named
// host:path in the program directory's ZelvioECF.ini, which the test's own
// attachment holds meanwhile.
class ProgramaAuditoria : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!vServidor.Impedimento().isEmpty())
            GTEST_SKIP() << vServidor.Impedimento().toStdString();
        ASSERT_TRUE(vServidor.FInicia());
        vPosto = std::make_unique<TPostoTeste>([this](const QString& pArquivo) { return vServidor.FLocal(pArquivo); },
                                               vServidor.Usuario(), vServidor.Senha());
        for (const TAbastecimentoTeste& abastecimento :
             std::vector<TAbastecimentoTeste>{{"01-01", cDia3, "08:00:00", 10.0, 1010.0, 1},
                                              {"01-02", cDia3, "08:05:00", 4.5, 504.5, 2},
                                              {"01-01", cDia3, "09:15:30", 10.0, 1022.25, 3}})
            PGrava(*vPosto, abastecimento);
    }

    QStringList FArgs(std::initializer_list<QString> pMais)
    {
        return QStringList{QStringLiteral("--dir"), vPosto->Diretorio().FCaminho(QString()), QStringLiteral("--dia"),
                           QStringLiteral("03/11/2015")} +
               QStringList(pMais);
    }

    TServidorFirebird vServidor;
    std::unique_ptr<TPostoTeste> vPosto;
};

TEST_F(ProgramaAuditoria, WritesTheCsvForASpreadsheetAndTheTableInTheWorkstationsFormat)
{
    const TSaidaPrograma csv = FRodaAuditoria(FArgs({QStringLiteral("--csv")}));
    ASSERT_EQ(csv.vCodigo, 0) << csv.vErro.toStdString();
    EXPECT_EQ(csv.vSaida, QByteArrayLiteral("\xEF\xBB\xBF") +
                              (cCabecalhoCsv + QStringLiteral("01-01;resumo;;;2;1000,000;1022,250;20,000;2,250\n"
                                                              "01-01;falta;03/11/2015;09:15:30;;1010,000;1012,250;;2,250\n"
                                                              "01-02;resumo;;;1;500,000;504,500;4,500;0,000\n"))
                                  .toUtf8());

    // The child reads the same environment's separators.
    TConfiguracaoRegional::PCarregaDoSistema();
    const TSaidaPrograma tabela = FRodaAuditoria(FArgs({}));
    ASSERT_EQ(tabela.vCodigo, 0) << tabela.vErro.toStdString();
    const QString texto = QString::fromLocal8Bit(tabela.vSaida);
    const QString momento = TGenerico::FFormataData(cDia3) + QLatin1Char(' ') + TGenerico::FFormataHora(QTime(9, 15, 30));
    const QString falta = QStringLiteral("  falta      de 1010,000 a 1012,250  2,250 L\n")
                              .replace(QLatin1Char(','), TConfiguracaoRegional::SeparadorDecimal());
    EXPECT_TRUE(texto.contains(QStringLiteral("\n  ") + momento + falta)) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("\nBico 01-02: sem falta.\n"))) << texto.toStdString();
}

// No settings file, and one that points at a database that is not there.
TEST(ProgramaAuditoriaSemBanco, EndsWithCode1AndTheReason)
{
    TDiretorioTeste semIni;
    TDiretorioTeste semBanco;
    TEstacao::PGravaConfiguracao(semBanco.FCaminho(QString()), semBanco.FCaminho(QStringLiteral("posto.fdb")),
                                 QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), false);
    for (const auto& [dir, motivo] : {std::pair{&semIni, QStringLiteral("CAMINHO")},
                                      std::pair{&semBanco, QStringLiteral("posto.fdb")}}) {
        const TSaidaPrograma r = FRodaAuditoria({QStringLiteral("--dir"), dir->FCaminho(QString())});
        EXPECT_EQ(r.vCodigo, 1) << r.vErro.toStdString();
        EXPECT_TRUE(r.vSaida.isEmpty()) << r.vSaida.toStdString();
        EXPECT_TRUE(r.vErro.startsWith(QStringLiteral("auditoria-encerrantes: o banco não pôde ser lido: ")))
            << r.vErro.toStdString();
        EXPECT_TRUE(r.vErro.contains(motivo)) << r.vErro.toStdString();
    }
}

} // namespace

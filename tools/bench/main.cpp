// Benchmark of the fueling capture path (not a test): prints figures.
//   bench_captura
// For 0, 1000 and 5000 fuelings already stored today it prints the median
// time of one whole capture (fueling event in, row committed, grid reloaded,
// log entry written) next to the median of one bare insert-and-commit on the
// same database; then a burst of 500 off-line fuelings with 5000 stored, and
// the peak memory of the process.
#include "UBancoDados.h"
#include "UCapturaAbastecimento.h"
#include "UDiretorioPrograma.h"
#include "UEstacao.h"
#include "UGenerico.h"
#include "UParametros.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double FMediana(std::vector<double> pValores)
{
    std::sort(pValores.begin(), pValores.end());
    return pValores[pValores.size() / 2];
}

// Fills today with pQuantos fuelings and as many day-log entries.
void PPreenche(TConexaoFirebird& pConexao, int pQuantos)
{
    const QString hoje = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    for (int i = 0; i < pQuantos; ++i)
        pConexao.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, precounit, valor, id, "
                                         "sequencia) values (:d, '08:00:00', '01-01', 10, 5.799, 57.99, :i, 1)"),
                          {{QStringLiteral("d"), hoje}, {QStringLiteral("i"), i + 1}});
    QByteArray log;
    const QByteArray entrada = "Data / Hora: 10/12/2026 / 08:00:00\r\n" + QByteArray(50, '-') +
                               "\r\nSl: 01\r\nBo: 01\r\nBi: 01\r\nCodBico: 01-01\r\nLitragem: 10,000\r\n"
                               "Preco Unitario: 5,799\r\nValor: 57,99\r\nData: 10/12/2026\r\nHora: 08:00:00\r\n"
                               "Id: 1\r\nSequencia: 1\r\n" + QByteArray(50, '-') + "\r\n";
    for (int i = 0; i < pQuantos; ++i)
        log += entrada;
    QFile arquivo(TGenerico::FArquivoLog(QDate::currentDate()));
    arquivo.open(QIODevice::WriteOnly);
    arquivo.write(log);
}

double FMsDesde(const QElapsedTimer& pRelogio)
{
    return static_cast<double>(pRelogio.nsecsElapsed()) / 1e6;
}

void PMede(int pArmazenados)
{
    QTemporaryDir dir;
    TDiretorioPrograma::PDefine(dir.path());
    const QString banco = dir.filePath(QStringLiteral("posto.fdb"));
    TEstacao::PCriaBanco(banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TEstacao::PGravaConfiguracao(dir.path(), banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TConexaoFirebird conexao;
    conexao.PConecta(banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), QString());
    PPreenche(conexao, pArmazenados);

    TBancoDados bancoDados;
    TParametros parametros;
    BancoDados = &bancoDados;
    Parametros = &parametros;
    QTableView grade;
    TCapturaAbastecimento captura(&grade, dir.filePath(QStringLiteral("ConcentradorTarnex.jrn")));

    std::vector<double> capturas, insercoes;
    for (int i = 0; i < 31; ++i) {
        QElapsedTimer relogio;
        relogio.start();
        bool recebido = false;
        captura.PRecebe(TCapturaAbastecimento::cAbasteceu, {1, 1, 1, 12345, 1234567, 5799, 3, 2, 3}, std::nullopt,
                        recebido);
        capturas.push_back(FMsDesde(relogio));
        relogio.restart();
        conexao.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, id, sequencia) values "
                                        "('01.01.2000', '08:00:00', '99-99', 1, :i, 0)"),
                         {{QStringLiteral("i"), i}});
        insercoes.push_back(FMsDesde(relogio));
    }
    std::printf("%5d armazenados hoje: captura %.2f ms (mediana), insert+commit puro %.2f ms, razão %.1f\n",
                pArmazenados, FMediana(capturas), FMediana(insercoes), FMediana(capturas) / FMediana(insercoes));

    // Where a capture's time goes: the two steps that grow with the day.
    std::vector<double> grades, logs;
    for (int i = 0; i < 11; ++i) {
        QElapsedTimer relogio;
        relogio.start();
        bancoDados.PDadosGridAbastecimento(&grade);
        TGenerico::PFormataCamposGrid(&grade);
        grades.push_back(FMsDesde(relogio));
        relogio.restart();
        TGenerico::PGeraLog(QStringLiteral("Sl: 01\rBo: 01\rBi: 01\rCodBico: 01-01\rLitragem: 12,345"));
        logs.push_back(FMsDesde(relogio));
    }
    std::printf("       dos quais: recarga da grade %.2f ms, entrada no log %.2f ms\n", FMediana(grades), FMediana(logs));

    if (pArmazenados == 5000) {
        QElapsedTimer relogio;
        relogio.start();
        for (int i = 0; i < 500; ++i) {
            bool recebido = false;
            captura.PRecebe(TCapturaAbastecimento::cAbasteceuOff,
                            {1, 1, 1, 12345, 1234567, 5799, 3, 2, 3, 101010, 51215}, std::nullopt, recebido);
        }
        std::printf("rajada de 500 abastecimentos off-line com 5000 armazenados: %.1f s\n", FMsDesde(relogio) / 1000);
    }
    BancoDados = nullptr;
    Parametros = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacao(argc, argv);
    for (const int armazenados : {0, 1000, 5000})
        PMede(armazenados);
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    std::printf("pico de memória: %.1f MB\n", static_cast<double>(uso.ru_maxrss) / 1024.0);
    return 0;
}

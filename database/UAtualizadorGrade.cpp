#include "UAtualizadorGrade.h"

#include "UBancoDados.h"
#include "UGenerico.h"
#include "UModeloGrade.h"

#include <algorithm>

#include <QTableView>

TAtualizadorGrade::TAtualizadorGrade(TDadosConexao pDados, QTableView* pGrid)
    : QObject(pGrid), vGrid(pGrid), vDados(std::move(pDados))
{
    vLinha.setObjectName(QStringLiteral("AtualizadorGrade"));
    vNaLinha.moveToThread(&vLinha);
    vLinha.start();
    vNovaTentativa.setSingleShot(true);
    vNovaTentativa.setInterval(cNovaTentativaMs);
    connect(&vNovaTentativa, &QTimer::timeout, this, &TAtualizadorGrade::PSolicita);
    vEspacamento.setSingleShot(true);
    connect(&vEspacamento, &QTimer::timeout, this, &TAtualizadorGrade::PSolicita);
}

TAtualizadorGrade::~TAtualizadorGrade()
{
    // Queued behind a query that may be running: the attachment ends on the
    // thread that used it, once that query is over.
    QThread* const principal = QThread::currentThread();
    QMetaObject::invokeMethod(
        &vNaLinha,
        [this, principal] {
            vConexao.reset();
            vNaLinha.moveToThread(principal);
        },
        Qt::BlockingQueuedConnection);
    vLinha.quit();
    vLinha.wait();
}

void TAtualizadorGrade::PSolicita()
{
    if (vEmCurso || vEspacamento.isActive()) {
        vPendente = true;
        return;
    }
    vNovaTentativa.stop();
    vEmCurso = true;
    vInicioDaVez.start();
    QMetaObject::invokeMethod(&vNaLinha, [this] { PConsulta(); }, Qt::QueuedConnection);
}

// On vLinha. Whatever happens, the main thread hears of the end of the run.
void TAtualizadorGrade::PConsulta()
{
    try {
        if (!vConexao) {
            vConexao = std::make_unique<TConexaoFirebird>(true);
            vConexao->PConecta(vDados.vBanco, vDados.vUsuario, vDados.vSenha, vDados.vPapel);
        }
        TResultadoSql resultado = TBancoDados::FAbastecimentosDoDia(*vConexao);
        QMetaObject::invokeMethod(
            this, [this, resultado = std::move(resultado)]() mutable { PRecebe(std::move(resultado)); },
            Qt::QueuedConnection);
    } catch (const EErro& erro) {
        QMetaObject::invokeMethod(this, [this, motivo = erro.Mensagem()] { PFalhou(motivo); }, Qt::QueuedConnection);
    } catch (const std::exception& erro) {
        QMetaObject::invokeMethod(
            this, [this, motivo = QString::fromLocal8Bit(erro.what())] { PFalhou(motivo); }, Qt::QueuedConnection);
    }
}

void TAtualizadorGrade::PRecebe(TResultadoSql pResultado)
{
    vFalhaRegistrada = false;
    PMostra(std::move(pResultado));
    PFimDaVez();
    Q_EMIT Atualizada();
}

void TAtualizadorGrade::PMostra(TResultadoSql pResultado)
{
    auto* modelo = qobject_cast<TModeloGrade*>(vGrid->model());
    // A view bound while it had no row sized its columns to the titles
    // alone: the first rows bind it anew, so the grid measures them.
    if (!modelo || !modelo->FMesmasColunas(pResultado) || modelo->rowCount({}) == 0) {
        TBancoDados::PLigaGrade(vGrid, std::move(pResultado));
        TGenerico::PFormataCamposGrid(vGrid);
        return;
    }
    TResultadoSql antigo = modelo->FTrocaResultado(std::move(pResultado));
    // A day of rows takes a while to free: the query's thread does it.
    QMetaObject::invokeMethod(&vNaLinha, [antigo = std::move(antigo)] {}, Qt::QueuedConnection);
}

// The grid keeps the rows it had; the failure goes to the log once for a run
// of failures, since it would come back with every fueling.
void TAtualizadorGrade::PFalhou(const QString& pMotivo)
{
    if (!vFalhaRegistrada) {
        vFalhaRegistrada = true;
        try {
            TGenerico::PGeraLog(QStringLiteral("Ocorreu um erro ao tentar atualizar a grade de abastecimentos.") +
                                QStringLiteral("\rMotivo: ") + pMotivo);
        } catch (const EErro&) {
            // the log cannot take it either; the grid stays as it was
        }
    }
    PFimDaVez();
    if (!vEmCurso)
        vNovaTentativa.start();
}

void TAtualizadorGrade::PFimDaVez()
{
    vEmCurso = false;
    if (vPendente) {
        vPendente = false;
        const qint64 duracao = vInicioDaVez.elapsed();
        const qint64 intervalo = std::max<qint64>(cIntervaloMinimoMs, cFracaoMaxima * duracao);
        vEspacamento.start(static_cast<int>(std::max<qint64>(0, intervalo - duracao)));
    }
}

#pragma once

#include "UEncerrantes.h"
#include "UFirebird.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TBancoDados;
class TCapturaAbastecimento;

// The database work of what the concentrators report, on a thread and an
// attachment of its own, in the order the events came: the nozzles' status
// letters and the capture of the fuelings the journal holds. The main
// thread only hands the work over, so a database that hangs, is shut down
// or has a row locked by another program stops no pump and freezes no
// window; what could not be done is done again until it lands.
class TExecutorBanco {
public:
    // pEncerrantes, when given: brought up to date from the stored fuelings
    // before the first capture, and written to its file now and then.
    TExecutorBanco(TCapturaAbastecimento& pCaptura, const TDadosConexao& pDados, TEncerrantes* pEncerrantes = nullptr);
    // Lets what was handed over run for a moment, then abandons the
    // statement under way; what is left stays in the journal.
    ~TExecutorBanco();
    TExecutorBanco(const TExecutorBanco&) = delete;
    TExecutorBanco& operator=(const TExecutorBanco&) = delete;

    // The door the capture uses, on the executor's thread only.
    TBancoDados& Banco() const { return *vBanco; }

    // Main thread. Captures what the journal holds (left by earlier runs,
    // or journaled just now).
    void PReprocessaPendentes();
    void PCapturaPendentes();
    // The newest letter of a nozzle, or of a whole pump (pBomba), waits to
    // be written; an older one still waiting for the same rows gives way.
    void PGravaStatus(bool pBomba, const QString& pLetra, int pTanque, int pNumBomba, int pBico);
    // Runs pAcao on the executor's thread, behind what is queued, and waits
    // for it; what it raises is raised here.
    void PExecutaAguardando(const std::function<void()>& pAcao);

    // A nozzle's totaliser read at the pump, or set there (pDefinido): its
    // new base, taken behind the captures already handed over, so that a
    // fueling that ended before it is checked against the base before it.
    void PNovoEncerrante(const QString& pCodigo, const TEncerrantes::TValor& pValor, bool pDefinido);

    // Letters still waiting to land (for the tests and the log).
    size_t FStatusPendentes() const;

    // How soon a capture or a letter that failed is tried again.
    static constexpr int cNovaTentativaMs = 1000;
    // How long the totalisers' file waits after a change, so that a run of
    // fuelings costs it one write.
    static constexpr int cEsperaEncerrantesMs = 1000;

private:
    struct TStatus {
        bool vBomba = false;
        QString vLetra;
        int vTanque = 0, vNumBomba = 0, vBico = 0;
        bool vTentado = false; // its first attempt failed (logged)
        bool vRetido = false; // it, or a letter it replaced, could not be written
        QString FCodigo() const;
        bool FCobre(const TStatus& pOutro) const;
    };

    void PNaLinha(std::function<void()> pAcao);
    void PMostraNaJanela(const std::exception_ptr& pErro);
    void PTrataCaptura(bool pRepeticao);
    void PTrataStatus();
    bool FGravaUmStatus(TStatus& pStatus, bool& pParar);
    void PRegistraGravados();
    void PAtualizaEncerrantes();
    void PGravaEncerrantes();

    TCapturaAbastecimento& vCaptura;
    std::unique_ptr<TBancoDados> vBanco;
    QThread vLinha;
    // Lives on vLinha: the calls queued to it run there, in order.
    std::unique_ptr<QObject> vNaLinha;
    // Lives on the main thread: what is shown to the operator.
    std::unique_ptr<QObject> vNaJanela;
    QTimer* vRepeteCaptura = nullptr;
    QTimer* vRepeteStatus = nullptr;
    TEncerrantes* vEncerrantes = nullptr;
    QTimer* vGravaEncerrantes = nullptr;
    bool vEncerrantesAtualizados = false; // on vLinha

    // Set when the executor's end can wait no longer: what is still queued
    // is left (in the journal) rather than tried against a database that
    // does not answer.
    std::atomic<bool> vEncerrando{false};
    std::mutex vTravaBanco; // vBanco's end against the main thread's abandon
    mutable std::mutex vTravaFila;
    std::vector<TStatus> vFila;
    bool vStatusAgendado = false;
    // The letters held back by a failure that have landed since, for the
    // one log entry that says so.
    QStringList vGravadosAposFalha;
};

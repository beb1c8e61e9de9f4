#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <QObject>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

// The write-ahead journal of fueling events, "ConcentradorTarnex.jrn" in the
// program's directory. Every fueling event is on disk before its capture
// starts and leaves the journal only when its capture has ended, so a
// database that fails, or a program that dies, loses no fueling.
//
// One line per fact, appended: "A" an event arrived (with the moment and its
// raw arguments), "D" the same for an event the component numbered (with its
// delivery), "T" a row is about to be inserted with this Id and sequence, "R"
// that insert failed, "F" the capture has ended, "V" a delivery whose capture
// ended long ago. The component delivers a fueling again until it is
// acknowledged; the journal remembers each delivery until the component has
// forgotten it for good, so a fueling delivered twice is captured once.
class TDiarioAbastecimentos {
public:
    // A fueling as the component numbered it.
    struct TEntrega {
        QString vInstancia;
        qint64 vNumero = 0;
    };
    struct TEntrada {
        qint64 vNumero = 0;
        QDateTime vMomento; // when the event first arrived
        int vEvento = 0;
        QList<qint64> vArgs;
        // The numbering of an insert that may have committed (a "T" without
        // an "R" after it): look for the row before inserting again.
        std::optional<QPair<int, int>> vTentativa;
        std::optional<TEntrega> vEntrega;
        // The attempt was journaled ahead, with the event, and no insert has
        // used it yet: there is no row to look for. Never read back from the
        // file: after a restart every attempt may have stored its row.
        bool vTentativaPrevista = false;
    };

    // Reads what earlier runs left; a last line torn by a crash is cut away.
    explicit TDiarioAbastecimentos(QString pCaminho);
    ~TDiarioAbastecimentos();
    TDiarioAbastecimentos(const TDiarioAbastecimentos&) = delete;
    TDiarioAbastecimentos& operator=(const TDiarioAbastecimentos&) = delete;

    // Raise EErro when the journal cannot be written.
    qint64 FRegistra(int pEvento, const QList<qint64>& pArgs, const QDateTime& pMomento,
                     const std::optional<TEntrega>& pEntrega = std::nullopt);
    // An event and its first insert attempt in one write: the common case
    // costs the journal one trip to the disk.
    qint64 FRegistraComTentativa(int pEvento, const QList<qint64>& pArgs, const QDateTime& pMomento,
                                 const std::optional<TEntrega>& pEntrega, int pId, int pSequencia);
    // Several events, each with the attempt it will most likely make, in one
    // write: a group of fuelings costs the journal one trip to the disk. The
    // entries come back numbered.
    std::vector<TEntrada> FRegistraLote(std::vector<TEntrada> pEntradas);
    void PTentativa(qint64 pNumero, int pId, int pSequencia);
    // The attempts events already journaled will most likely make, in one
    // synced write: (journal number, (Id, sequence)) each.
    void PPreveTentativas(const std::vector<std::pair<qint64, QPair<int, int>>>& pTentativas);
    // The insert about to run is the attempt journaled ahead.
    void PUsaTentativaPrevista(qint64 pNumero);
    // pSincroniza: the end must survive a power cut (a capture that would
    // not be refused the same way again).
    void PConclui(qint64 pNumero, bool pSincroniza = false);
    // Several ends in one write, not synced.
    void PConclui(const std::vector<qint64>& pNumeros);

    // Whether this delivery has been taken already (pending or captured).
    bool FConhece(const TEntrega& pEntrega) const;
    // Every delivery of pInstancia below pBase is forgotten by the component
    // for good; a numbering of another name replaces the old one.
    void PAtualizaBase(const QString& pInstancia, qint64 pBase);

    bool FAberta(qint64 pNumero) const
    {
        const std::lock_guard trava(vTrava);
        return vAbertas.contains(pNumero);
    }
    bool FTemPendentes() const
    {
        const std::lock_guard trava(vTrava);
        return !vAbertas.empty();
    }
    // What opening had to mend, for the log; empty when nothing.
    QString Reparo() const
    {
        const std::lock_guard trava(vTrava);
        return vReparo;
    }
    void PReparoRegistrado()
    {
        const std::lock_guard trava(vTrava);
        vReparo.clear();
    }
    // The events whose capture has not ended, oldest first.
    std::vector<TEntrada> FPendentes() const;

    static QString FCaminhoPadrao();
    // Above this size a journal that still remembers something is written
    // anew with only what it remembers.
    static constexpr qint64 cTamanhoCompactacao = 64 * 1024;

private:
    void PLe();
    void PCortaLinhaRasgada(qint64 pTamanhoValido);
    void PAplica(const QByteArray& pLinha);
    void PEncerra(qint64 pNumero);
    void PAcrescenta(const QByteArray& pLinha, bool pSincroniza);
    std::vector<TEntrada> FAcrescentaEntradas(std::vector<TEntrada> pEntradas);
    void PEsquece(const QString& pInstancia, qint64 pAbaixoDe);
    void PCompacta();
    bool FEsvazia();
    void PAgendaEsvaziamento();
    void PConcluiEsvaziamento();
    QByteArray FConteudoCompacto() const;

    // The main thread journals what arrives while the database's thread
    // captures it: one at a time.
    mutable std::recursive_mutex vTrava;
    QString vCaminho;
    QString vReparo;
    qint64 vUltimo = 0;
    qint64 vTamanho = 0;
    std::map<qint64, TEntrada> vAbertas;
    // Deliveries whose capture ended, by numbering, until the component
    // reports them forgotten.
    std::map<QString, std::set<qint64>> vConcluidas;
    std::map<QString, qint64> vBases;
    // The capture whose end waits for the journal to be emptied.
    std::optional<qint64> vFimPendente;
    bool vEsvaziamentoAgendado = false;
    // Queued calls die with it.
    std::unique_ptr<QObject> vContexto;
};

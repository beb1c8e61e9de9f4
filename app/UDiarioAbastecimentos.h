#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// The write-ahead journal of fueling events, "ConcentradorTarnex.jrn" in the
// program's directory. Every fueling event is on disk before its capture
// starts and leaves the journal only when its capture has ended, so a
// database that fails, or a program that dies, loses no fueling.
//
// One line per fact, appended: "A" an event arrived (with the moment and its
// raw arguments), "T" a row is about to be inserted with this Id and
// sequence, "R" that insert failed, "F" the capture has ended.
class TDiarioAbastecimentos {
public:
    struct TEntrada {
        qint64 vNumero = 0;
        QDateTime vMomento; // when the event first arrived
        int vEvento = 0;
        QList<qint64> vArgs;
        // The numbering of an insert that may have committed (a "T" without
        // an "R" after it): look for the row before inserting again.
        std::optional<QPair<int, int>> vTentativa;
    };

    explicit TDiarioAbastecimentos(QString pCaminho);

    // Raise EErro when the journal cannot be written.
    qint64 FRegistra(int pEvento, const QList<qint64>& pArgs, const QDateTime& pMomento);
    void PTentativa(qint64 pNumero, int pId, int pSequencia);
    void PTentativaFalhou(qint64 pNumero);
    void PConclui(qint64 pNumero);

    // The events whose capture has not ended, oldest first.
    std::vector<TEntrada> FPendentes() const;

    static QString FCaminhoPadrao();

private:
    void PAcrescenta(const QByteArray& pLinha, bool pSincroniza);
    void PCompactaSeVazio();

    QString vCaminho;
    qint64 vUltimo = 0;
};

#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <vector>

class TConexaoFirebird;

// Totalisers and litres in thousandths of a litre: the columns hold three
// decimals, and sums of doubles would drift from them.
using TMilesimos = qint64;

// A jump of the totaliser between two fuelings of a nozzle: when the one
// after it was stored, and the readings on either side.
struct TSaltoEncerrante {
    QDateTime vMomento;
    TMilesimos vDe = 0;
    TMilesimos vAte = 0;
    TMilesimos FLitros() const { return vAte - vDe; }
};

// One nozzle over the period.
struct TBicoAuditado {
    QString vCodBico;
    int vAbastecimentos = 0;
    TMilesimos vPrimeiro = 0; // start of the first fueling
    TMilesimos vUltimo = 0;   // end of the last
    TMilesimos vLitros = 0;   // the fuelings' litres
    // What the meter counted and no fueling holds; the new bases are not in it.
    TMilesimos vDiferenca = 0;
    std::vector<TSaltoEncerrante> vFaltas;
    std::vector<TSaltoEncerrante> vNovasBases;
    TMilesimos FLitrosEmFalta() const;
};

// Checks, nozzle by nozzle, that the totaliser never moved between two
// stored fuelings: each fueling should start where the one before ended.
class TAuditoriaEncerrantes {
public:
    // Each reading is rounded to 0.001 L: a start and the end before it may
    // differ by two roundings without a drop having left the pump.
    static constexpr TMilesimos cTolerancia = 2;

    // The fuelings of pDe to pAte, both included, by nozzle code.
    static std::vector<TBicoAuditado> FAudita(TConexaoFirebird& pConexao, const QDate& pDe, const QDate& pAte);

    // For a person: the workstation's decimal, date and time separators.
    static QString FTabela(const std::vector<TBicoAuditado>& pBicos, const QDate& pDe, const QDate& pAte);
    // For a Brazilian spreadsheet: ";" between fields, "," before the
    // decimals, dates DD/MM/AAAA, whatever the workstation's settings.
    static QString FCsv(const std::vector<TBicoAuditado>& pBicos);

    static QString FLitrosTexto(TMilesimos pLitros, QChar pSeparador);
};

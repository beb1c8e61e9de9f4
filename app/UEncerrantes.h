#pragma once

#include <QDate>
#include <QPair>
#include <QString>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

// The last totaliser the connector saw on each nozzle: the end of its last
// fueling, a totaliser reading, or a value the operator set at the pump.
// On one nozzle a fueling starts where the one before ended; a start that
// lies ahead of the last reading means litres left the pump without a
// fueling reaching the program (a concentrator that dropped it, a pump
// worked in stand-alone mode), and the log says how many. A start behind it
// (a totaliser set at the pump, a meter replaced, a wrap) takes a new base.
//
// Kept in a small file of the connector's own, written now and then (never
// on a capture's way); at start-up the fuelings stored since the file was
// written bring it up to date, so a crash costs it nothing.
class TEncerrantes {
public:
    // A reading in thousandths, with the unit of its last decimal place (1,
    // 10 or 100 thousandths for 3, 2 or 1 decimal places).
    struct TValor {
        qint64 vMilesimos = 0;
        qint64 vUnidade = 1;
    };
    // A component reading and its decimal count; nothing for a count that
    // gives no value (the pump window's zero call).
    static std::optional<TValor> FValor(qint64 pLeitura, int pCasas);

    explicit TEncerrantes(QString pCaminho);

    // A fueling's start and end; pNumeracao is its (sequence, Id) when it
    // was stored. Seen again (a capture taken up again) it changes nothing.
    void PAbastecimento(const QString& pCodigo, const TValor& pInicio, const TValor& pFim,
                        const std::optional<QPair<int, int>>& pNumeracao);
    // A totaliser the pump reported: the new base, unchecked.
    void PLeitura(const QString& pCodigo, const TValor& pTotal);
    // A totaliser the operator set at the pump.
    void PDefinido(const QString& pCodigo, const TValor& pTotal);

    // A stored fueling, as the station's table has it: (concentrator code,
    // end totaliser in thousandths, litres in thousandths, sequence, Id).
    struct TLinha {
        QString vCodigo;
        qint64 vFim = 0;
        qint64 vLitros = 0;
        int vSequencia = 0;
        int vId = 0;
    };
    // From the stored fuelings of pLinhas (oldest first) the ones the file
    // has not seen: their checks, then their ends as the base.
    void PAtualiza(const std::vector<TLinha>& pLinhas);
    // The day from which the stored fuelings may be new to the file, and
    // the numbering of the last one it saw (none: no file yet).
    QDate FDesde() const;
    std::optional<QPair<int, int>> FUltima() const;

    // Writes the file when something changed; raises EErro when it cannot.
    void PGrava();
    bool FAlterado() const;

    std::optional<TValor> FBase(const QString& pCodigo) const;
    static QString FNomeArquivo() { return QStringLiteral("ConcentradorTarnex.enc"); }

private:
    struct TBase {
        TValor vValor;
        QChar vOrigem; // 'A' a fueling's end, 'L' a reading, 'O' set by the operator
    };
    void PCarrega();
    QByteArray FConteudo() const;
    QString FConfere(const QString& pCodigo, const TValor& pInicio, const TValor& pFim, QChar pOrigem);
    static void PRegistra(const QString& pTexto);

    const QString vCaminho;
    mutable std::mutex vTrava;
    std::map<QString, TBase> vBases;
    // The numbering of the last stored fueling the bases hold.
    std::optional<QPair<int, int>> vUltima;
    QDate vGravadoEm;
    bool vAlterado = false;
};

#pragma once

#include "UResultadoSql.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

// A read-only view over a whole result set in memory: the data-bound grid's
// rows. Column titles are the names the database reports; each column keeps
// its type so the grid formats can tell numbers from the rest.
class TModeloGrade : public QAbstractTableModel {
    Q_OBJECT
public:
    using TFormatador = std::function<QString(const QVariant&)>;

    TModeloGrade(TResultadoSql pResultado, QObject* pDono);

    int rowCount(const QModelIndex& pPai = {}) const override;
    int columnCount(const QModelIndex& pPai = {}) const override;
    QVariant data(const QModelIndex& pIndice, int pPapel = Qt::DisplayRole) const override;
    QVariant headerData(int pSecao, Qt::Orientation pSentido, int pPapel = Qt::DisplayRole) const override;

    const TResultadoSql& Resultado() const { return vResultado; }
    // Whether pResultado has this view's columns, so it can take its rows.
    bool FMesmasColunas(const TResultadoSql& pResultado) const;
    // Shows pNovo's rows in place of the current ones, keeping columns,
    // formats and the grid's column widths; answers the rows it showed. The
    // view sees all rows leave and the new ones arrive, which costs it no
    // per-row work when its rows are all of one height.
    TResultadoSql FTrocaResultado(TResultadoSql pNovo);
    QString Nome(int pColuna) const { return vResultado.Nomes().at(pColuna); }
    TTipoColuna Tipo(int pColuna) const { return vResultado.Tipo(pColuna); }

    // The display text of a column's values (a field's display-text callback).
    void PDefineFormatador(int pColuna, TFormatador pFormatador);
    void PDefineAlinhamento(int pColuna, Qt::Alignment pAlinhamento);

    // The text a value shows with no formatter: dates and times with the
    // workstation's separators, numbers in their shortest form.
    static QString FTextoPadrao(const QVariant& pValor, TTipoColuna pTipo);

private:
    TResultadoSql vResultado;
    std::vector<TFormatador> vFormatadores;
    std::vector<Qt::Alignment> vAlinhamentos;
};

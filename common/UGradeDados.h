#pragma once

#include <QTableView>

// The read-only grid bound to a view of the station database. It keeps a
// narrow indicator column that marks the current row, and sizes each column
// to its title and its values every time it is bound to a new view, so a
// window of fixed size shows every column whole; the grid formats
// (decimal masks, the widths of DATA and ID) then apply on top. Rows that
// come later into the same view widen a column they do not fit.
class TGradeDados : public QTableView {
    Q_OBJECT
public:
    explicit TGradeDados(QWidget* pPai);

    void setModel(QAbstractItemModel* pModelo) override;

    // Values measured per column: the newest rows of a long day decide.
    static constexpr int cLinhasMedidas = 100;

protected:
    void currentChanged(const QModelIndex& pAtual, const QModelIndex& pAnterior) override;

private:
    void PAjustaColunas();
    void PAlargaColunas();
    int FLarguraTitulo(int pColuna) const;
    int FLarguraValores(int pColuna) const;

    QMetaObject::Connection vAlarga;
};

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The kinds of column the program tells apart: the grids format floating,
// scaled and currency numbers, and leave the rest alone.
enum class TTipoColuna { Texto, Inteiro, Decimal, Flutuante, Data, Hora, DataHora, Outro };

// A whole result set held in memory: every row is fetched when it opens.
class TResultadoSql {
public:
    TResultadoSql() = default;
    TResultadoSql(QStringList pNomes, QList<TTipoColuna> pTipos)
        : vNomes(std::move(pNomes)), vTipos(std::move(pTipos))
    {
    }

    // Columns by name, as the database reports them (aliases, upper case for
    // unquoted names); found without regard to case. Raises EErro when the
    // result has no such column.
    int FColuna(const QString& pNome) const;
    const QStringList& Nomes() const { return vNomes; }
    TTipoColuna Tipo(int pColuna) const { return vTipos.at(pColuna); }
    const QList<TTipoColuna>& Tipos() const { return vTipos; }

    int Linhas() const { return vLinhas; }
    int Colunas() const { return static_cast<int>(vNomes.size()); }
    // A null value is an invalid QVariant.
    const QVariant& Valor(int pLinha, int pColuna) const
    {
        Q_ASSERT(pColuna >= 0 && pColuna < Colunas());
        return vValores.at(static_cast<qsizetype>(pLinha) * Colunas() + pColuna);
    }
    const QVariant& Valor(int pLinha, const QString& pColuna) const { return Valor(pLinha, FColuna(pColuna)); }

    // The value read as the program reads fields: null gives empty text or 0.
    QString FTexto(int pLinha, const QString& pColuna) const;
    int FInteiro(int pLinha, const QString& pColuna) const; // raises EErro when the text is not a number
    double FDouble(int pLinha, const QString& pColuna) const;

    // A row with a value for every column.
    void PAdicionaLinha(const QList<QVariant>& pLinha);
    // Gives back the room the rows were given while they were being added.
    void PAjusta() { vValores.squeeze(); }

private:
    QStringList vNomes;
    QList<TTipoColuna> vTipos;
    // Row after row in one block: a day of fuelings is tens of thousands of
    // rows, and a block of its own for each would cost as much again.
    QList<QVariant> vValores;
    int vLinhas = 0;
};

#include "UResultadoSql.h"

#include "UArquivoIni.h"
#include "UErro.h"

#include <QDate>
#include <QTime>

int TResultadoSql::FColuna(const QString& pNome) const
{
    for (int i = 0; i < vNomes.size(); ++i) {
        if (vNomes.at(i).compare(pNome, Qt::CaseInsensitive) == 0)
            return i;
    }
    throw EErro(QStringLiteral("Campo '%1' não encontrado.").arg(pNome));
}

void TResultadoSql::PAdicionaLinha(const QList<QVariant>& pLinha)
{
    Q_ASSERT(pLinha.size() == Colunas());
    vValores.append(pLinha);
    ++vLinhas;
}

QString TResultadoSql::FTexto(int pLinha, const QString& pColuna) const
{
    const QVariant& valor = Valor(pLinha, pColuna);
    if (!valor.isValid())
        return {};
    if (valor.typeId() == QMetaType::QDate)
        return valor.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    if (valor.typeId() == QMetaType::QTime)
        return valor.toTime().toString(QStringLiteral("HH:mm:ss"));
    return valor.toString();
}

int TResultadoSql::FInteiro(int pLinha, const QString& pColuna) const
{
    const QVariant& valor = Valor(pLinha, pColuna);
    if (!valor.isValid())
        return 0;
    if (valor.typeId() == QMetaType::LongLong || valor.typeId() == QMetaType::Int)
        return static_cast<int>(valor.toLongLong());
    int numero = 0;
    if (!TArquivoIni::FEhInteiro(valor.toString().trimmed(), numero))
        throw EErro(QStringLiteral("'%1' não é um valor inteiro válido.").arg(valor.toString()));
    return numero;
}

double TResultadoSql::FDouble(int pLinha, const QString& pColuna) const
{
    const QVariant& valor = Valor(pLinha, pColuna);
    return valor.isValid() ? valor.toDouble() : 0.0;
}

#include "UConfiguracaoRegional.h"

#include <QLocale>
#include <QString>

namespace {

struct TSeparadores {
    QChar vDecimal = QLatin1Char('.');
    QChar vData = QLatin1Char('/');
    QChar vHora = QLatin1Char(':');
    bool vCarregado = false;
};

TSeparadores vSeparadores;

// The first character of a date or time pattern that is not part of a
// field: "dd/MM/yyyy" gives "/", "HH:mm:ss" gives ":", "dd.MM.yy" gives ".".
QChar FPrimeiroSeparador(const QString& pFormato, QChar pPadrao)
{
    for (const QChar c : pFormato) {
        if (!c.isLetter() && c != QLatin1Char('\'') && !c.isSpace())
            return c;
    }
    return pPadrao;
}

void PGaranteCarregado()
{
    if (!vSeparadores.vCarregado)
        TConfiguracaoRegional::PCarregaDoSistema();
}

} // namespace

void TConfiguracaoRegional::PCarregaDoSistema()
{
    const QLocale sistema = QLocale::system();
    const QString decimal = sistema.decimalPoint();
    vSeparadores.vDecimal = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
    vSeparadores.vData = FPrimeiroSeparador(sistema.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
    vSeparadores.vHora = FPrimeiroSeparador(sistema.timeFormat(QLocale::LongFormat), QLatin1Char(':'));
    vSeparadores.vCarregado = true;
}

void TConfiguracaoRegional::PDefine(QChar pDecimal, QChar pData, QChar pHora)
{
    vSeparadores = {pDecimal, pData, pHora, true};
}

QChar TConfiguracaoRegional::SeparadorDecimal()
{
    PGaranteCarregado();
    return vSeparadores.vDecimal;
}

QChar TConfiguracaoRegional::SeparadorData()
{
    PGaranteCarregado();
    return vSeparadores.vData;
}

QChar TConfiguracaoRegional::SeparadorHora()
{
    PGaranteCarregado();
    return vSeparadores.vHora;
}

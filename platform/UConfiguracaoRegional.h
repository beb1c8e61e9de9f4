#pragma once

#include <QChar>

// The workstation's separators for numbers, dates and times shown to a
// person. Taken from the system locale (LANG, LC_*) the first time they
// are asked for; the tests set them directly.
class TConfiguracaoRegional {
public:
    static QChar SeparadorDecimal();
    static QChar SeparadorData();
    static QChar SeparadorHora();

    static void PDefine(QChar pDecimal, QChar pData, QChar pHora);
    static void PCarregaDoSistema();
};

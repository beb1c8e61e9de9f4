#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command-line tools' "--nome VALOR" options.
class TArgumentos {
public:
    // Takes the option and its value out of pArgs; pPadrao when it is absent,
    // nothing when the name comes last without a value (a usage error).
    static std::optional<QString> FRetiraOpcao(QStringList& pArgs, const QString& pNome, const QString& pPadrao)
    {
        const qsizetype i = pArgs.indexOf(pNome);
        if (i < 0)
            return pPadrao;
        if (i + 1 >= pArgs.size())
            return std::nullopt;
        const QString valor = pArgs.at(i + 1);
        pArgs.remove(i, 2);
        return valor;
    }
};

#pragma once

#include <QString>

// The directory that holds the executable: both settings files and the
// daily log live there, whatever directory the program was started from.
class TDiretorioPrograma {
public:
    // With the trailing separator, so a file name can be appended directly.
    static QString FCaminho();

    // Tests point the program at a directory of their own.
    static void PDefine(const QString& pDiretorio);

    static QString FArquivo(const QString& pNome) { return FCaminho() + pNome; }

    // Where the running executable lies, with the trailing separator: the
    // programs installed beside it (the component server) are found there
    // even when the tests point FCaminho elsewhere.
    static QString FDiretorioExecutavel();
};

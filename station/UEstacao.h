#pragma once

#include <QString>

// Makes station databases: the schema, and the demo station's registry.
class TEstacao {
public:
    // A new database at pBanco (a local file, or host:path on a Firebird
    // server) with the station tables, and the demo registry when asked.
    static void PCriaBanco(const QString& pBanco, const QString& pUsuario, const QString& pSenha, bool pDemo);

    // The settings files of the program directory that point the connector
    // at that database, the password in its encoded form; with pDemo,
    // concentrators 1 and 2 configured for the demo registry.
    static void PGravaConfiguracao(const QString& pDiretorio, const QString& pBanco, const QString& pUsuario,
                                   const QString& pSenha, bool pDemo);

    // The stored form of a password: three digits per character, last first.
    // Raises EErro for a character whose code has more than three digits.
    static QString FCodifica(const QString& pSenha);

    // The statements of a script, without comments; split at the ";" that
    // ends a line.
    static QStringList FComandos(const QString& pScript);
};

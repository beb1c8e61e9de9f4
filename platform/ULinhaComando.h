#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// The station tools' command line: Qt's parser with Portuguese texts,
// -h/--help and -v/--version, and exit code 64 (EX_USAGE) for a command
// line the program cannot take, so a script tells it from a failed job.
class TLinhaComando {
public:
    static constexpr int cErroDeUso = 64;

    // pDescricao follows the usage line of --help.
    explicit TLinhaComando(const QString& pDescricao);

    void PAdicionaOpcao(const QCommandLineOption& pOpcao);
    void PAdicionaArgumento(const QString& pNome, const QString& pDescricao, const QString& pSintaxe);

    // Returns only when the program has work to do: --help, --version and
    // a wrong command line end the program here.
    void PLe(const QStringList& pArgumentos);

    bool FTem(const QString& pOpcao) const { return vParser.isSet(pOpcao); }
    QString FValor(const QString& pOpcao) const { return vParser.value(pOpcao); }
    QStringList FArgumentos() const { return vParser.positionalArguments(); }

    // What is wrong on standard error, then the usage; exit code 64.
    [[noreturn]] void PErroDeUso(const QString& pMotivo) const;

private:
    QString FAjuda() const;
    QStringList FOpcoesAntes(const QStringList& pArgumentos) const;
    bool FLevaValor(const QString& pArgumento) const;

    QCommandLineParser vParser;
    QList<QCommandLineOption> vOpcoes;
    const QCommandLineOption vAjuda;
    const QCommandLineOption vVersao;
};

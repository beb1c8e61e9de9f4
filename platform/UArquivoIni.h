#pragma once

#include "UGravacaoAtomica.h"

#include <QString>

#include <memory>

// A settings file with the semantics station software has always relied on:
// sections and keys found without regard to case, blanks around names and
// values ignored, anything missing or unreadable read as the caller's
// default. Every call opens the file afresh and keeps nothing, so a value
// written by another program is seen at the next read.
class TArquivoIni {
public:
    explicit TArquivoIni(QString pCaminho) : vCaminho(std::move(pCaminho)) {}

    QString FLeTexto(const QString& pSecao, const QString& pChave, const QString& pPadrao) const;
    // A value that is not a whole decimal number within 32 bits reads as the default.
    int FLeInteiro(const QString& pSecao, const QString& pChave, int pPadrao) const;
    // True for any whole number other than 0.
    bool FLeBooleano(const QString& pSecao, const QString& pChave, bool pPadrao) const;

    // Changes one key and keeps every other line (comments, order, unknown
    // sections) as it was; creates the file, section or key when missing.
    // Raises EErro when the file cannot be written; the old file stays intact.
    void PGravaTexto(const QString& pSecao, const QString& pChave, const QString& pValor) const;
    void PGravaInteiro(const QString& pSecao, const QString& pChave, int pValor) const;
    void PGravaBooleano(const QString& pSecao, const QString& pChave, bool pValor) const;
    // PGravaTexto in two steps: the file as it would be written is on disk
    // beside it now, and replaces it at the answer's PConclui.
    std::unique_ptr<TGravacaoPreparada> FPreparaTexto(const QString& pSecao, const QString& pChave,
                                                      const QString& pValor) const;

    const QString& Caminho() const { return vCaminho; }

    // The rule of FLeInteiro, for callers that read numbers from other texts.
    static bool FEhInteiro(const QString& pTexto, int& pValor);

private:
    std::unique_ptr<TGravacaoPreparada> FPreparaSemConferencia(const QString& pSecao, const QString& pChave,
                                                               const QString& pValor) const;

    QString vCaminho;
};

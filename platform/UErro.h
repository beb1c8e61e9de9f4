#pragma once

#include <QString>

#include <stdexcept>

// The failure the program's own code raises: a text for the operator,
// shown by the toolkit's error box wherever it ends a handler.
class EErro : public std::runtime_error {
public:
    explicit EErro(const QString& pMensagem) : std::runtime_error(pMensagem.toStdString()), vMensagem(pMensagem) {}

    const QString& Mensagem() const { return vMensagem; }

private:
    QString vMensagem;
};

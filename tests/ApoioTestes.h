#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <ostream>
#include <string>

// Assertion messages show texts as text.
inline void PrintTo(const QString& pTexto, std::ostream* pSaida)
{
    *pSaida << '"' << pTexto.toStdString() << '"';
}

// Each test group works in a directory of its own, which stands in for the
// program's directory: settings files and logs land there.
class TDiretorioTeste {
public:
    TDiretorioTeste();
    ~TDiretorioTeste();

    QString FCaminho(const QString& pNome) const { return vDiretorio.filePath(pNome); }
    QByteArray FLe(const QString& pNome) const;
    void PGrava(const QString& pNome, const QByteArray& pBytes) const;

private:
    QTemporaryDir vDiretorio;
};

// Lets the event loop run until pCondicao holds or pMs have passed.
bool FEspera(const std::function<bool()>& pCondicao, int pMs = 8000);

// Shows bytes with their line ends visible, for assertion messages.
std::string FVisivel(const QByteArray& pBytes);

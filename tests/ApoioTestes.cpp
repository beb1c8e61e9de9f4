#include "ApoioTestes.h"

#include "UDiretorioPrograma.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <stdexcept>

TDiretorioTeste::TDiretorioTeste()
{
    if (!vDiretorio.isValid())
        throw std::runtime_error("no temporary directory");
    TDiretorioPrograma::PDefine(vDiretorio.path());
}

TDiretorioTeste::~TDiretorioTeste() = default;

QByteArray TDiretorioTeste::FLe(const QString& pNome) const
{
    QFile arquivo(FCaminho(pNome));
    if (!arquivo.open(QIODevice::ReadOnly))
        return {};
    return arquivo.readAll();
}

void TDiretorioTeste::PGrava(const QString& pNome, const QByteArray& pBytes) const
{
    QFile arquivo(FCaminho(pNome));
    if (!arquivo.open(QIODevice::WriteOnly | QIODevice::Truncate) || arquivo.write(pBytes) != pBytes.size())
        throw std::runtime_error("cannot write test file");
}

std::string FVisivel(const QByteArray& pBytes)
{
    std::string texto;
    for (const char c : pBytes) {
        if (c == '\r')
            texto += "<CR>";
        else if (c == '\n')
            texto += "<LF>\n";
        else
            texto += c;
    }
    return texto;
}

bool FEspera(const std::function<bool()>& pCondicao, int pMs)
{
    QElapsedTimer relogio;
    relogio.start();
    while (!pCondicao() && relogio.elapsed() < pMs)
        QTest::qWait(10);
    return pCondicao();
}

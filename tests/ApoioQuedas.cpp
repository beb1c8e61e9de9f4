#include "ApoioQuedas.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <stdexcept>

namespace {

QString FDecodifica(const QByteArray& pCampo)
{
    return pCampo == "-" ? QString() : QUrl::fromPercentEncoding(pCampo);
}

QString FDiretorio(const QString& pCaminho)
{
    return QFileInfo(pCaminho).absolutePath();
}

} // namespace

QString TQuedaEnergia::TPasso::FDescricao() const
{
    QString texto = QString::fromLatin1(vTipo) + QLatin1Char(' ') + QFileInfo(vCaminho).fileName();
    if (!vDestino.isEmpty())
        texto += QStringLiteral(" -> ") + QFileInfo(vDestino).fileName();
    if (vTipo == "Grava")
        texto += QStringLiteral(" (%1 bytes em %2)").arg(vDados.size()).arg(vPosicao);
    if (vTipo == "Trunca")
        texto += QStringLiteral(" (%1 bytes)").arg(vTamanho);
    return texto + QStringLiteral(", processo %1").arg(vPid);
}

std::vector<TQuedaEnergia::TPasso> TQuedaEnergia::FLeTrace(const QString& pArquivo)
{
    QFile arquivo(pArquivo);
    std::vector<TPasso> passos;
    if (!arquivo.open(QIODevice::ReadOnly))
        return passos;
    const QByteArray trace = arquivo.readAll();
    qsizetype i = 0;
    while (i < trace.size()) {
        const qsizetype fim = trace.indexOf('\n', i);
        if (fim < 0)
            break;
        const QList<QByteArray> c = trace.mid(i, fim - i).split(' ');
        if (c.size() != 9)
            throw std::runtime_error("trace do disco ilegível: " + trace.mid(i, fim - i).toStdString());
        TPasso p;
        p.vNumero = c[0].toLongLong();
        p.vPid = c[1].toLongLong();
        p.vTipo = c[2];
        p.vFeito = c[3] == "1";
        p.vPosicao = c[4].toLongLong();
        p.vTamanho = c[5].toLongLong();
        const qsizetype bytes = c[6].toLongLong();
        p.vCaminho = FDecodifica(c[7]);
        p.vDestino = FDecodifica(c[8]);
        p.vDados = trace.mid(fim + 1, bytes);
        i = fim + 1 + bytes;
        passos.push_back(std::move(p));
    }
    return passos;
}

const char* TQuedaEnergia::FNome(TVariante pVariante)
{
    switch (pVariante) {
    case TVariante::Mantida:
        return "tudo mantido";
    case TVariante::Perdida:
        return "tudo perdido";
    case TVariante::Rasgada:
        return "última gravação rasgada";
    case TVariante::NomesDesfeitos:
        return "gravações mantidas, nomes desfeitos";
    }
    return "?";
}

TQuedaEnergia::TQuedaEnergia(const std::map<QString, QByteArray>& pIniciais)
{
    for (const auto& [caminho, conteudo] : pIniciais) {
        auto arquivo = std::make_shared<TArquivo>();
        arquivo->vDuravel = conteudo;
        vNomes[caminho] = arquivo;
        vNomesDuraveis[caminho] = arquivo;
    }
}

// A file written through a name nobody made through the seam was made by
// an open the trace did not see: a new, empty file under a name not yet
// on disk.
TQuedaEnergia::PArquivo TQuedaEnergia::FArquivo(const QString& pCaminho)
{
    PArquivo& arquivo = vNomes[pCaminho];
    if (!arquivo)
        arquivo = std::make_shared<TArquivo>();
    return arquivo;
}

void TQuedaEnergia::PAplica(const TPasso& p)
{
    if (!p.vFeito)
        return;
    using T = TOperacao::TTipo;
    if (p.vTipo == "Abre") {
        const bool existe = vNomes.contains(p.vCaminho);
        const PArquivo arquivo = FArquivo(p.vCaminho);
        if (existe && (p.vTamanho & O_TRUNC))
            arquivo->vPendentes.push_back({T::Trunca, 0, 0, {}, p.vNumero});
    } else if (p.vTipo == "Grava") {
        FArquivo(p.vCaminho)->vPendentes.push_back({T::Grava, p.vPosicao, p.vDados.size(), p.vDados, p.vNumero});
    } else if (p.vTipo == "Trunca") {
        FArquivo(p.vCaminho)->vPendentes.push_back({T::Trunca, 0, p.vTamanho, {}, p.vNumero});
    } else if (p.vTipo == "Reserva") {
        FArquivo(p.vCaminho)->vPendentes.push_back({T::Reserva, p.vPosicao, p.vTamanho, {}, p.vNumero});
    } else if (p.vTipo == "Sincroniza") {
        TArquivo& arquivo = *FArquivo(p.vCaminho);
        arquivo.vDuravel = FAtual(arquivo);
        arquivo.vPendentes.clear();
    } else if (p.vTipo == "Renomeia") {
        const PArquivo arquivo = FArquivo(p.vCaminho);
        vNomes.erase(p.vCaminho);
        vNomes[p.vDestino] = arquivo;
    } else if (p.vTipo == "SincronizaDiretorio") {
        // Every name of the directory, made, changed or removed, is on disk.
        std::erase_if(vNomesDuraveis, [&](const auto& n) { return FDiretorio(n.first) == p.vCaminho; });
        for (const auto& [nome, arquivo] : vNomes) {
            if (FDiretorio(nome) == p.vCaminho)
                vNomesDuraveis[nome] = arquivo;
        }
    }
}

void TQuedaEnergia::PExecuta(QByteArray& c, const TOperacao& o)
{
    switch (o.vTipo) {
    case TOperacao::TTipo::Grava:
        if (c.size() < o.vPosicao)
            c.append(QByteArray(o.vPosicao - c.size(), '\0'));
        c.replace(o.vPosicao, std::min<qint64>(o.vDados.size(), c.size() - o.vPosicao), o.vDados);
        break;
    case TOperacao::TTipo::Trunca:
        c = c.left(o.vTamanho).leftJustified(o.vTamanho, '\0');
        break;
    case TOperacao::TTipo::Reserva:
        if (c.size() < o.vPosicao + o.vTamanho)
            c.append(QByteArray(o.vPosicao + o.vTamanho - c.size(), '\0'));
        break;
    }
}

// pRasgarNumero: the write of that step keeps only its first half, and
// nothing after it happens.
QByteArray TQuedaEnergia::FAtual(const TArquivo& pArquivo, qint64 pRasgarNumero)
{
    QByteArray conteudo = pArquivo.vDuravel;
    for (const TOperacao& o : pArquivo.vPendentes) {
        if (o.vNumero == pRasgarNumero) {
            TOperacao metade = o;
            metade.vDados = o.vDados.left(o.vDados.size() / 2);
            PExecuta(conteudo, metade);
            break;
        }
        PExecuta(conteudo, o);
    }
    return conteudo;
}

std::map<QString, QByteArray> TQuedaEnergia::FArquivos(TVariante pVariante) const
{
    std::map<QString, QByteArray> arquivos;
    if (pVariante == TVariante::Perdida || pVariante == TVariante::NomesDesfeitos) {
        for (const auto& [nome, arquivo] : vNomesDuraveis)
            arquivos[nome] = pVariante == TVariante::Perdida ? arquivo->vDuravel : FAtual(*arquivo);
        return arquivos;
    }
    qint64 rasgar = 0;
    if (pVariante == TVariante::Rasgada) {
        for (const auto& [nome, arquivo] : vNomes) {
            for (const TOperacao& o : arquivo->vPendentes) {
                if (o.vTipo == TOperacao::TTipo::Grava && o.vDados.size() > 1)
                    rasgar = std::max(rasgar, o.vNumero);
            }
        }
    }
    for (const auto& [nome, arquivo] : vNomes)
        arquivos[nome] = FAtual(*arquivo, rasgar);
    return arquivos;
}

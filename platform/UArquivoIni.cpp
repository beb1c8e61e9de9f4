#include "UArquivoIni.h"

#include "UErro.h"
#include "UGravacaoAtomica.h"

#include <QFile>
#include <QStringDecoder>

#include <charconv>
#include <optional>
#include <vector>

namespace {

const QByteArray cBomUtf8("\xEF\xBB\xBF");

enum class TCodificacao { Utf8, Utf8ComBom, Latin1 };

struct TLinha {
    QString vTexto;
    QString vFim; // the line's own ending, written back unchanged
};

// The file as lines, with what is needed to write it back byte for byte
// apart from the one line that changes.
struct TDocumento {
    std::vector<TLinha> vLinhas;
    TCodificacao vCodificacao = TCodificacao::Utf8;
    QString vFimPadrao = QStringLiteral("\r\n");
};

QString FDecodifica(const QByteArray& pBytes, TCodificacao& pCodificacao)
{
    if (pBytes.startsWith(cBomUtf8)) {
        pCodificacao = TCodificacao::Utf8ComBom;
        return QString::fromUtf8(pBytes.mid(cBomUtf8.size()));
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString texto = utf8.decode(pBytes);
    if (!utf8.hasError()) {
        pCodificacao = TCodificacao::Utf8;
        return texto;
    }
    // Files written by Windows tools are in their 8-bit code page.
    pCodificacao = TCodificacao::Latin1;
    return QString::fromLatin1(pBytes);
}

QByteArray FCodifica(const QString& pTexto, TCodificacao pCodificacao)
{
    switch (pCodificacao) {
    case TCodificacao::Utf8ComBom:
        return cBomUtf8 + pTexto.toUtf8();
    case TCodificacao::Latin1:
        return pTexto.toLatin1();
    case TCodificacao::Utf8:
        break;
    }
    return pTexto.toUtf8();
}

std::vector<TLinha> FDivideLinhas(const QString& pTexto)
{
    std::vector<TLinha> linhas;
    qsizetype inicio = 0;
    const qsizetype n = pTexto.size();
    while (inicio < n) {
        qsizetype fim = inicio;
        while (fim < n && pTexto[fim] != QLatin1Char('\r') && pTexto[fim] != QLatin1Char('\n'))
            ++fim;
        qsizetype proximo = fim;
        if (proximo < n && pTexto[proximo] == QLatin1Char('\r'))
            ++proximo;
        if (proximo < n && pTexto[proximo] == QLatin1Char('\n'))
            ++proximo;
        linhas.push_back({pTexto.mid(inicio, fim - inicio), pTexto.mid(fim, proximo - fim)});
        inicio = proximo;
    }
    return linhas;
}

// A file that cannot be read yields defaults to a reader, but a writer must
// not replace what it could not read.
TDocumento FCarrega(const QString& pCaminho, bool pParaGravar)
{
    TDocumento documento;
    QFile arquivo(pCaminho);
    if (!arquivo.open(QIODevice::ReadOnly)) {
        if (pParaGravar && arquivo.exists())
            throw EErro(QStringLiteral("Não foi possível ler o arquivo %1.\rMotivo: %2").arg(pCaminho, arquivo.errorString()));
        return documento;
    }
    const QString texto = FDecodifica(arquivo.readAll(), documento.vCodificacao);
    documento.vLinhas = FDivideLinhas(texto);
    for (const TLinha& linha : documento.vLinhas) {
        if (!linha.vFim.isEmpty()) {
            documento.vFimPadrao = linha.vFim;
            break;
        }
    }
    return documento;
}

std::optional<QString> FNomeSecao(const QString& pLinha)
{
    const QString linha = pLinha.trimmed();
    if (!linha.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype fecha = linha.indexOf(QLatin1Char(']'));
    return (fecha < 0 ? linha.mid(1) : linha.mid(1, fecha - 1)).trimmed();
}

bool FEhComentario(const QString& pLinha)
{
    const QString linha = pLinha.trimmed();
    return linha.startsWith(QLatin1Char(';')) || linha.startsWith(QLatin1Char('#'));
}

std::optional<QString> FNomeChave(const QString& pLinha)
{
    const qsizetype igual = pLinha.indexOf(QLatin1Char('='));
    if (igual < 0 || FEhComentario(pLinha))
        return std::nullopt;
    return pLinha.left(igual).trimmed();
}

bool FMesmoNome(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first line of the section's header, or -1.
qsizetype FAchaSecao(const TDocumento& pDoc, const QString& pSecao)
{
    for (size_t i = 0; i < pDoc.vLinhas.size(); ++i) {
        const auto nome = FNomeSecao(pDoc.vLinhas[i].vTexto);
        if (nome && FMesmoNome(*nome, pSecao.trimmed()))
            return static_cast<qsizetype>(i);
    }
    return -1;
}

// One past the last line that belongs to the section that starts at pSecao.
qsizetype FFimSecao(const TDocumento& pDoc, qsizetype pSecao)
{
    qsizetype i = pSecao + 1;
    while (i < static_cast<qsizetype>(pDoc.vLinhas.size()) && !FNomeSecao(pDoc.vLinhas[i].vTexto))
        ++i;
    return i;
}

qsizetype FAchaChave(const TDocumento& pDoc, qsizetype pSecao, const QString& pChave)
{
    const qsizetype fim = FFimSecao(pDoc, pSecao);
    for (qsizetype i = pSecao + 1; i < fim; ++i) {
        const auto nome = FNomeChave(pDoc.vLinhas[i].vTexto);
        if (nome && FMesmoNome(*nome, pChave.trimmed()))
            return i;
    }
    return -1;
}

QString FValor(const QString& pLinha)
{
    QString valor = pLinha.mid(pLinha.indexOf(QLatin1Char('=')) + 1).trimmed();
    // A value in a matching pair of quotes is read without them.
    if (valor.size() >= 2 && (valor.front() == QLatin1Char('"') || valor.front() == QLatin1Char('\'')) &&
        valor.back() == valor.front())
        valor = valor.mid(1, valor.size() - 2);
    return valor;
}

void PGarantaFimDeLinha(TDocumento& pDoc, qsizetype pAntesDe)
{
    if (pAntesDe > 0 && pDoc.vLinhas[pAntesDe - 1].vFim.isEmpty())
        pDoc.vLinhas[pAntesDe - 1].vFim = pDoc.vFimPadrao;
}

void PInsereLinha(TDocumento& pDoc, qsizetype pPosicao, const QString& pTexto)
{
    PGarantaFimDeLinha(pDoc, pPosicao);
    pDoc.vLinhas.insert(pDoc.vLinhas.begin() + pPosicao, TLinha{pTexto, pDoc.vFimPadrao});
}

// A new key goes after the section's last key line, before the blank
// lines and comments that usually separate it from the next section.
qsizetype FPosicaoNovaChave(const TDocumento& pDoc, qsizetype pSecao)
{
    qsizetype posicao = FFimSecao(pDoc, pSecao);
    while (posicao > pSecao + 1 && pDoc.vLinhas[posicao - 1].vTexto.trimmed().isEmpty())
        --posicao;
    return posicao;
}

void PAlteraDocumento(TDocumento& pDoc, const QString& pSecao, const QString& pChave, const QString& pValor)
{
    const qsizetype secao = FAchaSecao(pDoc, pSecao);
    if (secao < 0) {
        const auto fim = static_cast<qsizetype>(pDoc.vLinhas.size());
        PInsereLinha(pDoc, fim, QLatin1Char('[') + pSecao.trimmed() + QLatin1Char(']'));
        PInsereLinha(pDoc, fim + 1, pChave.trimmed() + QLatin1Char('=') + pValor);
        return;
    }
    const qsizetype chave = FAchaChave(pDoc, secao, pChave);
    if (chave < 0) {
        PInsereLinha(pDoc, FPosicaoNovaChave(pDoc, secao), pChave.trimmed() + QLatin1Char('=') + pValor);
        return;
    }
    TLinha& linha = pDoc.vLinhas[chave];
    linha.vTexto = *FNomeChave(linha.vTexto) + QLatin1Char('=') + pValor;
}

QString FTexto(const TDocumento& pDoc)
{
    QString texto;
    for (const TLinha& linha : pDoc.vLinhas)
        texto += linha.vTexto + linha.vFim;
    return texto;
}

} // namespace

bool TArquivoIni::FEhInteiro(const QString& pTexto, int& pValor)
{
    const QByteArray ascii = pTexto.toLatin1();
    const char* inicio = ascii.constData();
    const char* fim = inicio + ascii.size();
    if (inicio != fim && *inicio == '+' && inicio + 1 != fim && inicio[1] != '-')
        ++inicio;
    int valor = 0;
    const auto [ultimo, erro] = std::from_chars(inicio, fim, valor, 10);
    if (erro != std::errc() || ultimo != fim || inicio == fim)
        return false;
    pValor = valor;
    return true;
}

QString TArquivoIni::FLeTexto(const QString& pSecao, const QString& pChave, const QString& pPadrao) const
{
    const TDocumento documento = FCarrega(vCaminho, false);
    const qsizetype secao = FAchaSecao(documento, pSecao);
    if (secao < 0)
        return pPadrao;
    const qsizetype chave = FAchaChave(documento, secao, pChave);
    return chave < 0 ? pPadrao : FValor(documento.vLinhas[chave].vTexto);
}

int TArquivoIni::FLeInteiro(const QString& pSecao, const QString& pChave, int pPadrao) const
{
    int valor = pPadrao;
    return FEhInteiro(FLeTexto(pSecao, pChave, QString()), valor) ? valor : pPadrao;
}

bool TArquivoIni::FLeBooleano(const QString& pSecao, const QString& pChave, bool pPadrao) const
{
    return FLeInteiro(pSecao, pChave, pPadrao ? 1 : 0) != 0;
}

void TArquivoIni::PGravaTexto(const QString& pSecao, const QString& pChave, const QString& pValor) const
{
    FPreparaTexto(pSecao, pChave, pValor)->PConclui();
}

namespace {

QByteArray FBytesDoArquivo(const QString& pCaminho)
{
    QFile arquivo(pCaminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
}

} // namespace

std::unique_ptr<TGravacaoPreparada> TArquivoIni::FPreparaTexto(const QString& pSecao, const QString& pChave,
                                                               const QString& pValor) const
{
    // The capture writes the Id while an operator window may write another
    // key of the same file: a replacement made from bytes another write has
    // changed since is made again from the new ones.
    const QByteArray lidos = FBytesDoArquivo(vCaminho);
    std::unique_ptr<TGravacaoPreparada> gravacao = FPreparaSemConferencia(pSecao, pChave, pValor);
    gravacao->PDefineConferencia([lidos, caminho = vCaminho, pSecao, pChave, pValor]() -> std::unique_ptr<TGravacaoPreparada> {
        if (FBytesDoArquivo(caminho) == lidos)
            return nullptr;
        return TArquivoIni(caminho).FPreparaSemConferencia(pSecao, pChave, pValor);
    });
    return gravacao;
}

std::unique_ptr<TGravacaoPreparada> TArquivoIni::FPreparaSemConferencia(const QString& pSecao, const QString& pChave,
                                                                        const QString& pValor) const
{
    TDocumento documento = FCarrega(vCaminho, true);
    PAlteraDocumento(documento, pSecao, pChave, pValor);
    return TGravacaoAtomica::FPrepara(vCaminho, FCodifica(FTexto(documento), documento.vCodificacao));
}

void TArquivoIni::PGravaInteiro(const QString& pSecao, const QString& pChave, int pValor) const
{
    PGravaTexto(pSecao, pChave, QString::number(pValor));
}

void TArquivoIni::PGravaBooleano(const QString& pSecao, const QString& pChave, bool pValor) const
{
    PGravaTexto(pSecao, pChave, pValor ? QStringLiteral("1") : QStringLiteral("0"));
}

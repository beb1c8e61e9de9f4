#include "UProtocoloFcm.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <unistd.h>

namespace ProtocoloFcm {

QByteArray FCodifica(const QJsonObject& pMensagem)
{
    return QJsonDocument(pMensagem).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> FDecodifica(const QByteArray& pLinha)
{
    QJsonParseError erro{};
    const QJsonDocument documento = QJsonDocument::fromJson(pLinha, &erro);
    if (erro.error != QJsonParseError::NoError || !documento.isObject())
        return std::nullopt;
    return documento.object();
}

std::optional<QByteArray> TLeitorLinhas::FProxima()
{
    const qsizetype fim = vBuffer.indexOf('\n');
    if (fim < 0)
        return std::nullopt;
    QByteArray linha = vBuffer.left(fim);
    vBuffer.remove(0, fim + 1);
    if (linha.endsWith('\r'))
        linha.chop(1);
    return linha;
}

bool TLeitorLinhas::FExcedeu() const
{
    const qsizetype fim = vBuffer.indexOf('\n');
    return (fim < 0 ? vBuffer.size() : fim) > cTamanhoMaximoLinha;
}

const std::vector<TMetodoFcm>& FMetodos()
{
    using enum TTipoArg;
    static const std::vector<TMetodoFcm> metodos = {
        {QStringLiteral("FcmOpen"), {Byte}},
        {QStringLiteral("FcmClose"), {}},
        {QStringLiteral("FcmSetNumSlaves"), {Byte}},
        {QStringLiteral("FcmConfiguraSlave"), {Byte, Byte}},
        {QStringLiteral("FcmTrocaPreco"), {Byte, Byte, Byte, Inteiro, Byte}},
        {QStringLiteral("FcmAutorizaAbastecimento"), {Byte, Byte, Byte}},
        {QStringLiteral("FcmProgramaPrePago"), {Byte, Byte, Byte, Inteiro, Byte}, 4},
        {QStringLiteral("FcmTravaBomba"), {Byte, Byte}},
        {QStringLiteral("FcmDesTravaBomba"), {Byte, Byte}},
        {QStringLiteral("FcmSolicitaPrecoPorLitro"), {Byte, Byte, Byte}},
        {QStringLiteral("FcmSolicitaUltimoAbastecimento"), {Byte, Byte, Byte}},
        {QStringLiteral("FcmSolicitaTotalizador"), {Byte, Byte, Byte}},
        {QStringLiteral("FcmSolicitaVersaoSlave"), {Byte}},
        {QStringLiteral("FcmVersaoDll"), {}},
        {QStringLiteral("FcmVersaoFcmMaster"), {}},
        {QStringLiteral("FcmConfigTotalizador"), {Byte, Byte, Byte, Inteiro}},
        {QStringLiteral("FcmObtemStatusBomba"), {Byte, Byte}},
        {QStringLiteral("FcmCmdEspecial"), {Byte, Byte, Byte, Inteiro, Inteiro, Inteiro, Inteiro}},
        {QStringLiteral("FcmConfigConcentradorFcm"), {Byte, Byte, Byte, Byte}},
    };
    return metodos;
}

const TMetodoFcm* FMetodo(const QString& pNome)
{
    for (const TMetodoFcm& metodo : FMetodos()) {
        if (metodo.vNome.compare(pNome, Qt::CaseInsensitive) == 0)
            return &metodo;
    }
    return nullptr;
}

qint64 FAjusta(qint64 pValor, TTipoArg pTipo)
{
    const auto bits = static_cast<quint64>(pValor);
    if (pTipo == TTipoArg::Byte)
        return static_cast<qint64>(bits & 0xFF);
    return static_cast<qint32>(static_cast<quint32>(bits & 0xFFFFFFFFu));
}

QString FCaminhoSocket(const QString& pDiretorio)
{
    const QString diretorio = QDir(pDiretorio).absolutePath();
    const QString caminho = diretorio + QStringLiteral("/FcmMasterX.sock");
    constexpr qsizetype cMaximoSocket = 100; // sun_path holds 108 bytes
    if (QFile::encodeName(caminho).size() <= cMaximoSocket)
        return caminho;
    const QByteArray resumo = QCryptographicHash::hash(QFile::encodeName(diretorio), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("/tmp/FcmMasterX-%1-%2.sock").arg(::getuid()).arg(QString::fromLatin1(resumo.left(16)));
}

int FNumeroArgsEvento(int pEvento)
{
    static const int args[] = {0, 4, 5, 5, 5, 9, 2, 1, 11, 4, 7, 13};
    return (pEvento >= 1 && pEvento <= 11) ? args[pEvento] : 0;
}

} // namespace ProtocoloFcm

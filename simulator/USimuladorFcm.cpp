#include "USimuladorFcm.h"

#include "UErro.h"
#include "UGravacaoAtomica.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>

// One fueling on its way through a nozzle.
struct TSimuladorFcm::TCiclo {
    int vSl = 0;
    int vBo = 0;
    int vBi = 0;
    int vVolume = 0; // thousandths of a litre
    int vDuracaoMs = 0;
    TResponde vResponde;
};

namespace {

QJsonObject FErro(const QString& pTexto)
{
    return QJsonObject{{QStringLiteral("erro"), pTexto}};
}

QString FRecusa(int pCodigo)
{
    return QStringLiteral("recusado pelo concentrador com o código %1").arg(pCodigo);
}

// The concentrator's clock as the fueling messages carry it: HHMMSS, DDMMYY.
qint64 FHoraMinSeg(const QTime& pHora)
{
    return pHora.hour() * 10000 + pHora.minute() * 100 + pHora.second();
}

qint64 FDiaMesAno(const QDate& pData)
{
    return pData.day() * 10000 + pData.month() * 100 + pData.year() % 100;
}

// The meter counts hundredths, deliveries thousandths: half a hundredth
// rounds up. A fueling nobody reports goes through the same rounding, or the
// gap it leaves between two reported ones would be a hundredth off.
qint64 FCentesimos(qint64 pMilesimos)
{
    return (pMilesimos + 5) / 10;
}

} // namespace

TSimuladorFcm::TSimuladorFcm(QString pArquivoEstado) : vArquivoEstado(std::move(pArquivoEstado))
{
    PCarregaEstado();
}

TSimuladorFcm::~TSimuladorFcm()
{
    // A normal end keeps what a crash would have lost.
    if (vGravacaoAgendada)
        PGravaEstado();
}

QString TSimuladorFcm::FArquivoEstado(const QString& pDiretorio)
{
    return QDir(pDiretorio).filePath(QStringLiteral("FcmMasterX.estado"));
}

int TSimuladorFcm::FValidaBomba(int pSl, int pBo) const
{
    if (pSl < 1 || pSl > 99)
        return -1;
    const auto slave = vSlaves.find(pSl);
    if (slave == vSlaves.end())
        return -7;
    if (pBo < 1 || pBo > static_cast<int>(slave->second.vBombas.size()))
        return -2;
    return 1;
}

int TSimuladorFcm::FValidaBico(int pSl, int pBo, int pBi) const
{
    const int bomba = FValidaBomba(pSl, pBo);
    if (bomba != 1)
        return bomba;
    return (pBi < 1 || pBi > 4) ? -3 : 1;
}

TSimuladorFcm::TBicoSim& TSimuladorFcm::FBico(int pSl, int pBo, int pBi)
{
    return vSlaves.at(pSl).vBombas.at(static_cast<size_t>(pBo - 1)).vBicos.at(static_cast<size_t>(pBi - 1));
}

void TSimuladorFcm::PMudaEstado(int pSl, int pBo, int pBi, int pEstado)
{
    FBico(pSl, pBo, pBi).vEstado = pEstado;
    PAgendaGravacao();
    PEmite(1, {pSl, pBo, pBi, pEstado});
}

int TSimuladorFcm::FAbre(int pCliente, int pDispositivo)
{
    if (pDispositivo < 1 || pDispositivo > 4)
        return -1;
    if (vDono[static_cast<size_t>(pDispositivo)] != 0)
        return -12;
    vDono[static_cast<size_t>(pDispositivo)] = pCliente;
    return 1;
}

void TSimuladorFcm::PClienteSaiu(int pCliente)
{
    for (int& dono : vDono) {
        if (dono == pCliente)
            dono = 0;
    }
}

int TSimuladorFcm::FConfigura(int pSlave, int pBombas, int pModo, int pTipo)
{
    if (pSlave < 1 || pSlave > 99)
        return -1;
    if (pBombas < 1 || pBombas > 16)
        return -2;
    if (pModo < 10 || pModo > 12)
        return -5;
    if (pTipo < 1 || pTipo > 2)
        return -6;
    TSlaveSim& slave = vSlaves[pSlave];
    slave.vModo = pModo;
    slave.vTipoMensagem = pTipo;
    slave.vBombas.resize(static_cast<size_t>(pBombas));
    return 1;
}

QJsonValue TSimuladorFcm::FExecuta(int pCliente, const QString& pMetodo, QList<qint64>& pArgs)
{
    // Most methods change something the concentrators keep.
    PAgendaGravacao();
    const auto a = [&](int i) { return static_cast<int>(pArgs.value(i)); };
    if (pMetodo == QLatin1String("FcmOpen"))
        return FAbre(pCliente, a(0));
    if (pMetodo == QLatin1String("FcmClose")) {
        PClienteSaiu(pCliente);
        return 1;
    }
    if (pMetodo == QLatin1String("FcmSetNumSlaves")) {
        if (a(0) < 1 || a(0) > 99)
            return -1;
        vNumSlaves = a(0);
        return 1;
    }
    if (pMetodo == QLatin1String("FcmConfigConcentradorFcm"))
        return FConfigura(a(0), a(1), a(2), a(3));
    if (pMetodo == QLatin1String("FcmConfiguraSlave")) {
        const auto slave = vSlaves.find(a(0));
        return slave == vSlaves.end() ? FConfigura(a(0), a(1), 10, 1)
                                      : FConfigura(a(0), a(1), slave->second.vModo, slave->second.vTipoMensagem);
    }
    if (pMetodo == QLatin1String("FcmVersaoDll"))
        return QStringLiteral("5.0.0.0");
    if (pMetodo == QLatin1String("FcmVersaoFcmMaster"))
        return cVersaoMaster;
    if (pMetodo == QLatin1String("FcmSolicitaVersaoSlave")) {
        if (a(0) < 1 || a(0) > 99)
            return -1;
        if (!vSlaves.contains(a(0)))
            return -7;
        PEmite(6, {a(0), cVersaoSlave});
        return 1;
    }
    if (pMetodo == QLatin1String("FcmTravaBomba") || pMetodo == QLatin1String("FcmDesTravaBomba") ||
        pMetodo == QLatin1String("FcmObtemStatusBomba"))
        return FMetodoDeBomba(pMetodo, pArgs);
    if (pMetodo == QLatin1String("FcmProgramaPrePago") && pArgs.size() > 4 && (a(4) < 1 || a(4) > 3))
        return -4;
    return FMetodoDeBico(pMetodo, pArgs);
}

QJsonValue TSimuladorFcm::FMetodoDeBomba(const QString& pMetodo, const QList<qint64>& pArgs)
{
    const int sl = static_cast<int>(pArgs.value(0));
    const int bo = static_cast<int>(pArgs.value(1));
    const int codigo = FValidaBomba(sl, bo);
    if (codigo != 1)
        return codigo;
    TBombaSim& bomba = vSlaves.at(sl).vBombas.at(static_cast<size_t>(bo - 1));
    if (pMetodo == QLatin1String("FcmObtemStatusBomba")) {
        for (int bi = 1; bi <= 4; ++bi)
            PEmite(1, {sl, bo, bi, bomba.vTravada ? 7 : bomba.vBicos.at(static_cast<size_t>(bi - 1)).vEstado});
        return 1;
    }
    bomba.vTravada = pMetodo == QLatin1String("FcmTravaBomba");
    PEmite(1, {sl, bo, 1, bomba.vTravada ? 7 : 8});
    return 1;
}

QJsonValue TSimuladorFcm::FMetodoDeBico(const QString& pMetodo, const QList<qint64>& pArgs)
{
    const int sl = static_cast<int>(pArgs.value(0));
    const int bo = static_cast<int>(pArgs.value(1));
    const int bi = static_cast<int>(pArgs.value(2));
    const int codigo = FValidaBico(sl, bo, bi);
    if (codigo != 1)
        return codigo;
    TBicoSim& bico = FBico(sl, bo, bi);
    const qint64 valor = pArgs.value(3);
    if (pMetodo == QLatin1String("FcmTrocaPreco")) {
        const int cd = static_cast<int>(pArgs.value(4));
        if (cd < 1 || cd > 3)
            return -4;
        bico.vPrecoMilesimos = static_cast<int>(cd == 3 ? valor : cd == 2 ? valor * 10 : valor * 100);
    } else if (pMetodo == QLatin1String("FcmAutorizaAbastecimento") ||
               pMetodo == QLatin1String("FcmProgramaPrePago")) {
        if (pMetodo == QLatin1String("FcmProgramaPrePago"))
            bico.vPrePago = static_cast<int>(std::max<qint64>(0, valor));
        bico.vAutorizado = true;
        const auto ciclo = std::find_if(vAguardando.begin(), vAguardando.end(), [&](const auto& c) {
            return c->vSl == sl && c->vBo == bo && c->vBi == bi;
        });
        if (ciclo != vAguardando.end())
            PIniciaEntrega(*ciclo);
    } else if (pMetodo == QLatin1String("FcmSolicitaPrecoPorLitro")) {
        PEmite(4, {sl, bo, bi, bico.vPrecoMilesimos, 3});
    } else if (pMetodo == QLatin1String("FcmSolicitaUltimoAbastecimento")) {
        PEmite(3, {sl, bo, bi, bico.vUltimoVolume, 3});
    } else if (pMetodo == QLatin1String("FcmSolicitaTotalizador")) {
        PEmite(2, {sl, bo, bi, bico.vTotalCentesimos, 2});
    } else if (pMetodo == QLatin1String("FcmConfigTotalizador")) {
        bico.vTotalCentesimos = valor / 10;
    } else if (pMetodo == QLatin1String("FcmCmdEspecial")) {
        PEmite(10, {sl, bo, bi, valor, pArgs.value(4), pArgs.value(5), pArgs.value(6)});
    }
    return 1;
}

QList<TDriverConcentrador::TEventoGuardado> TSimuladorFcm::FNaoConfirmados() const
{
    QList<TEventoGuardado> eventos;
    for (const auto& [entrega, evento] : vNaoConfirmados)
        eventos.append(evento);
    return eventos;
}

void TSimuladorFcm::PConfirma(qint64 pEntrega)
{
    if (vNaoConfirmados.erase(pEntrega) > 0)
        PAgendaGravacao();
}

// The fueling is on disk before anybody hears of it: a server that dies
// right after still delivers it.
void TSimuladorFcm::PGuarda(int pEvento, const QList<qint64>& pArgs)
{
    const qint64 entrega = vProximaEntrega++;
    vNaoConfirmados[entrega] = TEventoGuardado{entrega, pEvento, pArgs};
    PGravaEstado();
    if (FTemAssinante())
        PEmite(pEvento, pArgs, entrega);
}

// --- the fueling cycle -------------------------------------------------------

void TSimuladorFcm::PAbastece(const QJsonArray& pArgs, const TResponde& pResponde)
{
    auto ciclo = std::make_shared<TCiclo>(TCiclo{pArgs.at(0).toInt(), pArgs.at(1).toInt(), pArgs.at(2).toInt(),
                                                 pArgs.at(3).toInt(), pArgs.at(4).toInt(300), pResponde});
    const int codigo = FValidaBico(ciclo->vSl, ciclo->vBo, ciclo->vBi);
    if (codigo != 1)
        return pResponde(FErro(QStringLiteral("Bico %1").arg(FRecusa(codigo))));
    const TSlaveSim& slave = vSlaves.at(ciclo->vSl);
    TBicoSim& bico = FBico(ciclo->vSl, ciclo->vBo, ciclo->vBi);
    if (slave.vBombas.at(static_cast<size_t>(ciclo->vBo - 1)).vTravada)
        return pResponde(FErro(QStringLiteral("A bomba está travada: o abastecimento foi recusado.")));
    if (bico.vOcupado)
        return pResponde(FErro(QStringLiteral("O bico já está em abastecimento.")));
    const bool online = FTemAssinante();
    if (slave.vModo == 12 && !online)
        return pResponde(FErro(QStringLiteral("Modo C (sem off-line) e nenhum conector conectado: "
                                              "o concentrador não abastece.")));
    bico.vOcupado = true;
    // In modes B and C the computer authorises; off-line, mode B falls back
    // on the concentrator's own authorisation.
    if (!online || slave.vModo == 10 || bico.vAutorizado)
        return PIniciaEntrega(ciclo);
    vAguardando.push_back(ciclo);
    PMudaEstado(ciclo->vSl, ciclo->vBo, ciclo->vBi, 3);
    QTimer::singleShot(cEsperaAutorizacaoMs, this, [this, ciclo] {
        const auto posicao = std::find(vAguardando.begin(), vAguardando.end(), ciclo);
        if (posicao == vAguardando.end())
            return;
        vAguardando.erase(posicao);
        FBico(ciclo->vSl, ciclo->vBo, ciclo->vBi).vOcupado = false;
        PMudaEstado(ciclo->vSl, ciclo->vBo, ciclo->vBi, 4);
        ciclo->vResponde(FErro(QStringLiteral("O abastecimento não foi autorizado em %1 segundos.")
                                   .arg(cEsperaAutorizacaoMs / 1000)));
    });
}

void TSimuladorFcm::PIniciaEntrega(const std::shared_ptr<TCiclo>& pCiclo)
{
    vAguardando.erase(std::remove(vAguardando.begin(), vAguardando.end(), pCiclo), vAguardando.end());
    FBico(pCiclo->vSl, pCiclo->vBo, pCiclo->vBi).vAutorizado = false;
    PMudaEstado(pCiclo->vSl, pCiclo->vBo, pCiclo->vBi, 5);
    QTimer::singleShot(std::max(0, pCiclo->vDuracaoMs), this, [this, pCiclo] { PFinaliza(pCiclo); });
}

void TSimuladorFcm::PFinaliza(const std::shared_ptr<TCiclo>& pCiclo)
{
    if (!vSlaves.contains(pCiclo->vSl))
        return pCiclo->vResponde(FErro(QStringLiteral("O slave deixou de existir durante o abastecimento.")));
    TBicoSim& bico = FBico(pCiclo->vSl, pCiclo->vBo, pCiclo->vBi);
    if (bico.vPrePago > 0)
        pCiclo->vVolume = std::min(pCiclo->vVolume, bico.vPrePago);
    bico.vPrePago = 0;
    const qint64 totalInicial = bico.vTotalCentesimos;
    bico.vTotalCentesimos += FCentesimos(pCiclo->vVolume);
    bico.vUltimoVolume = pCiclo->vVolume;
    bico.vOcupado = false;
    PMudaEstado(pCiclo->vSl, pCiclo->vBo, pCiclo->vBi, 4);
    PInformaAbastecimento(*pCiclo, totalInicial);
    pCiclo->vResponde(QJsonObject{{QStringLiteral("resultado"), QStringLiteral("ok")},
                                  {QStringLiteral("volume"), pCiclo->vVolume},
                                  {QStringLiteral("offline"), !FTemAssinante()}});
}

void TSimuladorFcm::PInformaAbastecimento(const TCiclo& pCiclo, qint64 pTotalInicial)
{
    const TBicoSim& bico = FBico(pCiclo.vSl, pCiclo.vBo, pCiclo.vBi);
    const QDateTime agora = QDateTime::currentDateTime();
    const qint64 hms = FHoraMinSeg(agora.time());
    const qint64 dma = FDiaMesAno(agora.date());
    const QList<qint64> endereco{pCiclo.vSl, pCiclo.vBo, pCiclo.vBi, pCiclo.vVolume};
    if (!FTemAssinante())
        return PGuarda(8, endereco + QList<qint64>{bico.vTotalCentesimos, bico.vPrecoMilesimos, 3, 2, 3, hms, dma});
    if (vSlaves.at(pCiclo.vSl).vTipoMensagem == 2)
        PGuarda(11, endereco + QList<qint64>{pTotalInicial, bico.vTotalCentesimos, bico.vPrecoMilesimos, 3, 2, 2, 3,
                                             hms, dma});
    else
        PGuarda(5, endereco + QList<qint64>{bico.vTotalCentesimos, bico.vPrecoMilesimos, 3, 2, 3});
}

// A fueling the concentrator never reports: the pump worked in stand-alone
// mode, or the concentrator dropped the message. Only the meter knows of it,
// so the next fueling reported on the nozzle starts that much further on;
// nothing is raised and nothing is kept for OnAbasteceuOff.
void TSimuladorFcm::PPerde(const QJsonArray& pArgs, const TResponde& pResponde)
{
    const int sl = pArgs.at(0).toInt();
    const int bo = pArgs.at(1).toInt();
    const int bi = pArgs.at(2).toInt();
    const int volume = pArgs.at(3).toInt(); // 0 when beyond what a fueling carries
    const int codigo = FValidaBico(sl, bo, bi);
    if (codigo != 1)
        return pResponde(FErro(QStringLiteral("Bico %1").arg(FRecusa(codigo))));
    if (volume <= 0)
        return pResponde(FErro(QStringLiteral("O volume perdido precisa ser maior que zero.")));
    TBicoSim& bico = FBico(sl, bo, bi);
    // A pump delivers one fueling at a time.
    if (bico.vOcupado)
        return pResponde(FErro(QStringLiteral("O bico já está em abastecimento.")));
    bico.vTotalCentesimos += FCentesimos(volume);
    // On disk before the answer, as a reported fueling's meter is: a crash
    // right after must not take back litres the caller was told went by.
    PGravaEstado();
    pResponde(QJsonObject{{QStringLiteral("resultado"), QStringLiteral("ok")},
                          {QStringLiteral("volume"), volume},
                          {QStringLiteral("total"), bico.vTotalCentesimos}});
}

// --- the simulator's own controls -------------------------------------------------

bool TSimuladorFcm::FControle(const QString& pVerbo, const QJsonArray& pArgs, const TResponde& pResponde)
{
    if (pVerbo == QLatin1String("abastece")) {
        PAbastece(pArgs, pResponde);
        return true;
    }
    if (pVerbo == QLatin1String("perde")) {
        PPerde(pArgs, pResponde);
        return true;
    }
    if (pVerbo == QLatin1String("estado")) {
        pResponde(QJsonObject{{QStringLiteral("resultado"), FEstado()}});
        return true;
    }
    if (pVerbo == QLatin1String("bicos")) {
        pResponde(QJsonObject{{QStringLiteral("resultado"), FBicos()}});
        return true;
    }
    return false;
}

QJsonArray TSimuladorFcm::FBicos() const
{
    QJsonArray bicos;
    for (const auto& [numero, slave] : vSlaves) {
        for (size_t bo = 1; bo <= slave.vBombas.size(); ++bo) {
            for (int bi = 1; bi <= 4; ++bi)
                bicos.append(QJsonArray{numero, static_cast<int>(bo), bi});
        }
    }
    return bicos;
}

QString TSimuladorFcm::FEstado() const
{
    QString texto;
    for (int d = 1; d <= 4; ++d) {
        const int dono = vDono[static_cast<size_t>(d)];
        texto += QStringLiteral("Dispositivo %1: %2\n").arg(d).arg(dono ? QStringLiteral("aberto (conexão %1)").arg(dono)
                                                                         : QStringLiteral("fechado"));
    }
    texto += QStringLiteral("Slaves declarados: %1\n").arg(vNumSlaves);
    for (const auto& [numero, slave] : vSlaves) {
        texto += QStringLiteral("Slave %1: modo %2, mensagem tipo %3, %4 bomba(s)\n")
                     .arg(numero).arg(slave.vModo).arg(slave.vTipoMensagem).arg(slave.vBombas.size());
        for (size_t bo = 0; bo < slave.vBombas.size(); ++bo) {
            const TBombaSim& bomba = slave.vBombas[bo];
            for (size_t bi = 0; bi < 4; ++bi) {
                const TBicoSim& b = bomba.vBicos[bi];
                texto += QStringLiteral("  bico %1-%2-%3: estado %4%5, preço %6, total %7, último %8\n")
                             .arg(numero).arg(bo + 1).arg(bi + 1).arg(b.vEstado)
                             .arg(bomba.vTravada ? QStringLiteral(" (bomba travada)") : QString())
                             .arg(b.vPrecoMilesimos / 1000.0, 0, 'f', 3)
                             .arg(static_cast<double>(b.vTotalCentesimos) / 100.0, 0, 'f', 2)
                             .arg(b.vUltimoVolume / 1000.0, 0, 'f', 3);
            }
        }
    }
    texto += QStringLiteral("Abastecimentos não confirmados: %1\n").arg(vNaoConfirmados.size());
    return texto;
}

// --- the state file ------------------------------------------------------------------

namespace {

QJsonArray FJson(const QList<qint64>& pNumeros)
{
    QJsonArray json;
    for (const qint64 n : pNumeros)
        json.append(n);
    return json;
}

QList<qint64> FNumeros(const QJsonArray& pJson)
{
    QList<qint64> numeros;
    for (const QJsonValue& v : pJson)
        numeros.append(v.toInteger());
    return numeros;
}

QString FNovaInstancia()
{
    return QString::number(QRandomGenerator::system()->generate64(), 16);
}

} // namespace

qint64 TSimuladorFcm::FBaseAtual() const
{
    return vNaoConfirmados.empty() ? vProximaEntrega : vNaoConfirmados.begin()->first;
}

QJsonObject TSimuladorFcm::FEstadoJson() const
{
    QJsonArray slaves;
    for (const auto& [numero, slave] : vSlaves) {
        QJsonArray bombas;
        for (const TBombaSim& bomba : slave.vBombas) {
            QJsonArray bicos;
            for (const TBicoSim& b : bomba.vBicos)
                bicos.append(QJsonArray{b.vPrecoMilesimos, b.vTotalCentesimos, b.vUltimoVolume, b.vEstado});
            bombas.append(QJsonObject{{QStringLiteral("travada"), bomba.vTravada}, {QStringLiteral("bicos"), bicos}});
        }
        slaves.append(QJsonObject{{QStringLiteral("slave"), numero},
                                  {QStringLiteral("modo"), slave.vModo},
                                  {QStringLiteral("tipo"), slave.vTipoMensagem},
                                  {QStringLiteral("bombas"), bombas}});
    }
    QJsonArray guardados;
    for (const auto& [entrega, evento] : vNaoConfirmados)
        guardados.append(QJsonObject{{QStringLiteral("entrega"), entrega},
                                     {QStringLiteral("evento"), evento.vEvento},
                                     {QStringLiteral("args"), FJson(evento.vArgs)}});
    return QJsonObject{{QStringLiteral("instancia"), vInstancia},
                       {QStringLiteral("proximaEntrega"), vProximaEntrega},
                       {QStringLiteral("numSlaves"), vNumSlaves},
                       {QStringLiteral("slaves"), slaves},
                       {QStringLiteral("naoConfirmados"), guardados}};
}

void TSimuladorFcm::PAplicaEstado(const QJsonObject& pEstado)
{
    vInstancia = pEstado.value(QStringLiteral("instancia")).toString();
    vProximaEntrega = std::max<qint64>(1, pEstado.value(QStringLiteral("proximaEntrega")).toInteger());
    vNumSlaves = pEstado.value(QStringLiteral("numSlaves")).toInt();
    for (const QJsonValue& s : pEstado.value(QStringLiteral("slaves")).toArray()) {
        const QJsonObject o = s.toObject();
        TSlaveSim& slave = vSlaves[o.value(QStringLiteral("slave")).toInt()];
        slave.vModo = o.value(QStringLiteral("modo")).toInt(10);
        slave.vTipoMensagem = o.value(QStringLiteral("tipo")).toInt(1);
        for (const QJsonValue& b : o.value(QStringLiteral("bombas")).toArray()) {
            TBombaSim& bomba = slave.vBombas.emplace_back();
            bomba.vTravada = b.toObject().value(QStringLiteral("travada")).toBool();
            const QJsonArray bicos = b.toObject().value(QStringLiteral("bicos")).toArray();
            for (size_t i = 0; i < bomba.vBicos.size() && i < static_cast<size_t>(bicos.size()); ++i) {
                const QJsonArray v = bicos.at(static_cast<qsizetype>(i)).toArray();
                TBicoSim& bico = bomba.vBicos[i];
                bico.vPrecoMilesimos = v.at(0).toInt(5799);
                bico.vTotalCentesimos = v.at(1).toInteger();
                bico.vUltimoVolume = v.at(2).toInt();
                // A cycle under way died with the server: the nozzle is hung up.
                const int estado = v.at(3).toInt(4);
                bico.vEstado = (estado == 3 || estado == 5) ? 4 : estado;
            }
        }
    }
    for (const QJsonValue& g : pEstado.value(QStringLiteral("naoConfirmados")).toArray()) {
        const QJsonObject o = g.toObject();
        const qint64 entrega = o.value(QStringLiteral("entrega")).toInteger();
        vNaoConfirmados[entrega] = TEventoGuardado{entrega, o.value(QStringLiteral("evento")).toInt(),
                                                   FNumeros(o.value(QStringLiteral("args")).toArray())};
        vProximaEntrega = std::max(vProximaEntrega, entrega + 1);
    }
}

void TSimuladorFcm::PCarregaEstado()
{
    QFile arquivo(vArquivoEstado);
    if (!vArquivoEstado.isEmpty() && arquivo.open(QIODevice::ReadOnly)) {
        QJsonParseError erro{};
        const QJsonDocument documento = QJsonDocument::fromJson(arquivo.readAll(), &erro);
        if (documento.isObject())
            PAplicaEstado(documento.object());
        else
            std::fprintf(stderr, "FcmMasterX: estado ilegível em %s (%s); os concentradores começam do zero\n",
                         qPrintable(vArquivoEstado), qPrintable(erro.errorString()));
    }
    if (vInstancia.isEmpty()) {
        // A numbering nobody has seen: nothing the connector remembers of
        // an older one can be taken for it.
        vInstancia = FNovaInstancia();
        vSlaves.clear();
        vNaoConfirmados.clear();
        vProximaEntrega = 1;
    }
    vBaseGravada = FBaseAtual();
}

void TSimuladorFcm::PAgendaGravacao()
{
    // Configuration changes and acknowledgements come in bursts: one write
    // for all of them. Losing one only means a fueling is delivered again,
    // which the connector's journal recognises.
    if (vGravacaoAgendada)
        return;
    vGravacaoAgendada = true;
    QTimer::singleShot(cAgrupamentoGravacaoMs, this, [this] {
        if (vGravacaoAgendada)
            PGravaEstado();
    });
}

void TSimuladorFcm::PGravaEstado()
{
    vGravacaoAgendada = false;
    const qint64 base = FBaseAtual();
    try {
        if (!vArquivoEstado.isEmpty())
            TGravacaoAtomica::PGrava(vArquivoEstado, QJsonDocument(FEstadoJson()).toJson(QJsonDocument::Compact));
        if (std::exchange(vBaseGravada, base) != base)
            PAvisaBase();
    } catch (const EErro& erro) {
        std::fprintf(stderr, "FcmMasterX: %s\n", qPrintable(erro.Mensagem()));
    }
}

#include "UCapturaAbastecimento.h"

#include "UAbastecimento.h"
#include "UBancoDados.h"
#include "UErro.h"
#include "UGenerico.h"
#include "UParametros.h"

#include <QTableView>

// One fueling event's arguments, in the component's types.
struct TCapturaAbastecimento::TLeitura {
    int vEvento = 0;
    quint8 sl = 0, bo = 0, bi = 0;
    int vol = 0, total = 0, ppl = 0;
    quint8 cdvol = 0, cdtot = 0, cdppl = 0;
    int hora_min_seg = 0, dia_mes_ano = 0;
    QList<qint64> vBrutos;

    explicit TLeitura(const TDiarioAbastecimentos::TEntrada& pEntrada)
        : vEvento(pEntrada.vEvento), vBrutos(pEntrada.vArgs)
    {
        const auto n = [&](int i) { return static_cast<int>(static_cast<quint32>(pEntrada.vArgs.value(i))); };
        const auto b = [&](int i) { return static_cast<quint8>(pEntrada.vArgs.value(i) & 0xFF); };
        sl = b(0);
        bo = b(1);
        bi = b(2);
        vol = n(3);
        if (vEvento == cAbasteceu2) {
            // total_ini and cdtot_ini (4 and 8) take part in nothing
            total = n(5);
            ppl = n(6);
            cdvol = b(7);
            cdtot = b(9);
            cdppl = b(10);
            hora_min_seg = n(11);
            dia_mes_ano = n(12);
        } else {
            total = n(4);
            ppl = n(5);
            cdvol = b(6);
            cdtot = b(7);
            cdppl = b(8);
            hora_min_seg = n(9);
            dia_mes_ano = n(10);
        }
    }
};

TCapturaAbastecimento::TCapturaAbastecimento(QTableView* pGrid, const QString& pDiario)
    : vGrid(pGrid), vDiario(pDiario)
{
}

// --- the off-line date and time --------------------------------------------------

QString TCapturaAbastecimento::FTextoData(int pDiaMesAno)
{
    const QString t = TGenerico::FCompletaZero(pDiaMesAno, 6);
    return t.mid(0, 2) + QLatin1Char('/') + t.mid(2, 2) + QLatin1Char('/') + t.mid(4, 2);
}

QString TCapturaAbastecimento::FTextoHora(int pHoraMinSeg)
{
    const QString t = TGenerico::FCompletaZero(pHoraMinSeg, 6);
    return t.mid(0, 2) + QLatin1Char(':') + t.mid(2, 2) + QLatin1Char(':') + t.mid(4, 2);
}

std::optional<QDateTime> TCapturaAbastecimento::FDecodificaDataHora(int pDiaMesAno, int pHoraMinSeg,
                                                                     const QDate& pHoje)
{
    const QString data = TGenerico::FCompletaZero(pDiaMesAno, 6);
    const QString hora = TGenerico::FCompletaZero(pHoraMinSeg, 6);
    const auto FPar = [](const QString& pTexto, int pInicio) {
        bool ok = false;
        const QString par = pTexto.mid(pInicio, 2);
        const int valor = par.toInt(&ok);
        return (ok && par.size() == 2 && par.at(0).isDigit() && par.at(1).isDigit()) ? valor : -1;
    };
    const int dia = FPar(data, 0), mes = FPar(data, 2), ano = FPar(data, 4);
    const int h = FPar(hora, 0), m = FPar(hora, 2), s = FPar(hora, 4);
    if (dia < 0 || mes < 0 || ano < 0 || h < 0 || m < 0 || s < 0)
        return std::nullopt;
    const int inicio = pHoje.year() - 50;
    int anoCompleto = inicio / 100 * 100 + ano;
    if (anoCompleto < inicio)
        anoCompleto += 100;
    const QDate d(anoCompleto, mes, dia);
    const QTime t(h, m, s);
    if (!d.isValid() || !t.isValid())
        return std::nullopt;
    return QDateTime(d, t);
}

// --- the capture -----------------------------------------------------------------

void TCapturaAbastecimento::PRecebe(int pEvento, const QList<qint64>& pArgs)
{
    const QDateTime agora = QDateTime::currentDateTime();
    std::exception_ptr erroDiario;
    qint64 numero = -1;
    try {
        numero = vDiario.FRegistra(pEvento, pArgs, agora);
    } catch (...) {
        erroDiario = std::current_exception(); // the fueling is still captured
    }
    std::vector<TDiarioAbastecimentos::TEntrada> entradas = vDiario.FPendentes();
    if (numero < 0)
        entradas.push_back({-1, agora, pEvento, pArgs, {}});
    PProcessa(entradas, erroDiario);
}

// A failure after the one shown goes to the log; when the log cannot take
// it either, that failure is shown instead. Either way the loop goes on to an
// event the journal could not take.
void TCapturaAbastecimento::PRegistraPendente(const EErro& pErro, std::exception_ptr& pErroMostrado)
{
    try {
        TGenerico::PGeraLog(QStringLiteral("Abastecimento não gravado; fica pendente para nova tentativa.") +
                            QStringLiteral("\rMotivo: ") + pErro.Mensagem());
    } catch (const EErro&) {
        if (!pErroMostrado)
            pErroMostrado = std::current_exception();
    }
}

void TCapturaAbastecimento::PReprocessaPendentes()
{
    PProcessa(vDiario.FPendentes(), {});
}

void TCapturaAbastecimento::PProcessa(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas,
                                      std::exception_ptr pErroDiario)
{
    std::exception_ptr primeiroErro = pErroDiario;
    bool parado = false;
    for (const auto& entrada : pEntradas) {
        // A capture that failed part way may have stored its row without
        // moving the numbering on: the ones behind it would take its Id. They
        // wait in the journal, in their order, for the next attempt; only an
        // event the journal could not take is tried at once, as it has
        // nowhere else to wait.
        if (parado && entrada.vNumero >= 0)
            continue;
        try {
            if (FCaptura(entrada) != TFim::Falhou)
                vFalhaMostrada = false;
        } catch (const EErro& erro) {
            if (!primeiroErro && !vFalhaMostrada)
                primeiroErro = std::current_exception();
            else
                PRegistraPendente(erro, primeiroErro);
            parado = true;
        }
    }
    if (primeiroErro) {
        vFalhaMostrada = true;
        std::rethrow_exception(primeiroErro);
    }
}

TCapturaAbastecimento::TFim TCapturaAbastecimento::FCaptura(const TDiarioAbastecimentos::TEntrada& pEntrada)
{
    const TLeitura l(pEntrada);
    if (!BancoDados->FExisteBicoCadastrado(l.sl, l.bo, l.bi)) {
        PConclui(pEntrada);
        return TFim::Descartado;
    }
    QDateTime momento = pEntrada.vMomento;
    if (l.vEvento != cAbasteceu) {
        // A date of 0 is no fueling (the pump window's test call sends zeros);
        // a time of 0 is a fueling made at midnight.
        const auto decodificado = FDecodificaDataHora(l.dia_mes_ano, l.hora_min_seg, QDate::currentDate());
        if (l.dia_mes_ano == 0 || !decodificado) {
            if (l.dia_mes_ano != 0)
                PRegistraDataInvalida(l);
            PConclui(pEntrada);
            return TFim::Descartado;
        }
        momento = *decodificado;
    }
    const std::unique_ptr<TAbastecimento> abastecimento = BancoDados->FRetornaDadosProduto(l.sl, l.bo, l.bi);
    abastecimento->SetLitragem(TGenerico::FRetornaCasasDecimais(l.cdvol, l.vol));
    abastecimento->SetEncerrantefinal(TGenerico::FRetornaCasasDecimais(l.cdtot, l.total));
    abastecimento->SetPrecounit(TGenerico::FRetornaCasasDecimais(l.cdppl, l.ppl));
    abastecimento->SetValor(TGenerico::FArredondaValor(abastecimento->Precounit() * abastecimento->Litragem()));
    abastecimento->SetDataHora(momento);
    if (FJaGravado(pEntrada, *abastecimento)) {
        PRecarregaGrade();
        TGenerico::PGeraLog(FTextoLog(l, *abastecimento));
        return TFim::Gravado;
    }
    abastecimento->SetId(Parametros->Id());
    if (pEntrada.vNumero >= 0)
        vDiario.PTentativa(pEntrada.vNumero, abastecimento->Id(), abastecimento->Sequencia());
    const bool gravado = BancoDados->FGravaAbastecimento(*abastecimento);
    if (gravado)
        PConclui(pEntrada);
    else if (pEntrada.vNumero >= 0)
        vDiario.PTentativaFalhou(pEntrada.vNumero);
    PRecarregaGrade();
    TGenerico::PGeraLog(FTextoLog(l, *abastecimento));
    return gravado ? TFim::Gravado : TFim::Falhou;
}

// An earlier attempt died between its insert and the end of its capture:
// its row may be there, with its numbering.
bool TCapturaAbastecimento::FJaGravado(const TDiarioAbastecimentos::TEntrada& pEntrada, TAbastecimento& pAbastecimento)
{
    if (!pEntrada.vTentativa)
        return false;
    const int sequencia = pAbastecimento.Sequencia();
    pAbastecimento.SetId(pEntrada.vTentativa->first);
    pAbastecimento.SetSequencia(pEntrada.vTentativa->second);
    if (!BancoDados->FExisteAbastecimento(pAbastecimento)) {
        pAbastecimento.SetSequencia(sequencia);
        return false;
    }
    // The numbering may not have moved past it before the program died.
    if (Parametros->Id() == pEntrada.vTentativa->first)
        BancoDados->PAvancaNumeracao(pEntrada.vTentativa->first);
    PConclui(pEntrada);
    return true;
}

void TCapturaAbastecimento::PConclui(const TDiarioAbastecimentos::TEntrada& pEntrada)
{
    if (pEntrada.vNumero >= 0)
        vDiario.PConclui(pEntrada.vNumero);
}

void TCapturaAbastecimento::PRecarregaGrade()
{
    BancoDados->PSolicitaAtualizacaoGrid(vGrid);
}

QString TCapturaAbastecimento::FTextoLog(const TLeitura& l, const TAbastecimento& a)
{
    const QChar cr = QLatin1Char('\r');
    QString dataHora;
    if (l.vEvento == cAbasteceu)
        dataHora = QStringLiteral("Data: ") + TGenerico::FFormataData(a.DataHora().date()) + cr +
                   QStringLiteral("Hora: ") + TGenerico::FFormataHora(a.DataHora().time());
    else
        dataHora = QStringLiteral("Data: ") + FTextoData(l.dia_mes_ano) + QStringLiteral(" Hora: ") +
                   FTextoHora(l.hora_min_seg);
    return QStringLiteral("Sl: ") + TGenerico::FCompletaZero(l.sl, 2) + cr + QStringLiteral("Bo: ") +
           TGenerico::FCompletaZero(l.bo, 2) + cr + QStringLiteral("Bi: ") + TGenerico::FCompletaZero(l.bi, 2) + cr +
           QStringLiteral("CodBico: ") + a.Codbico() + cr + QStringLiteral("Litragem: ") +
           TGenerico::FFormataNumero(a.Litragem(), 3) + cr + QStringLiteral("Preço Unitário: ") +
           TGenerico::FFormataNumero(a.Precounit(), 3) + cr + QStringLiteral("Valor: ") +
           TGenerico::FFormataNumero(a.Valor(), 2) + cr + dataHora + cr + QStringLiteral("Id: ") +
           QString::number(a.Id()) + cr + QStringLiteral("Sequencia: ") + QString::number(a.Sequencia());
}

void TCapturaAbastecimento::PRegistraDataInvalida(const TLeitura& l)
{
    // Kept out of the database, but never out of sight: the raw values let
    // an operator enter the sale by hand.
    QStringList brutos;
    for (const qint64 a : l.vBrutos)
        brutos.append(QString::number(a));
    TGenerico::PGeraLog(QStringLiteral("Abastecimento com data ou hora inválida, não gravado no banco de dados.\r") +
                        QStringLiteral("Evento: %1\r").arg(l.vEvento == cAbasteceu2 ? QStringLiteral("OnAbasteceu2")
                                                                                    : QStringLiteral("OnAbasteceuOff")) +
                        QStringLiteral("Sl: %1\rBo: %2\rBi: %3\r")
                            .arg(TGenerico::FCompletaZero(l.sl, 2), TGenerico::FCompletaZero(l.bo, 2),
                                 TGenerico::FCompletaZero(l.bi, 2)) +
                        QStringLiteral("dia_mes_ano: %1\rhora_min_seg: %2\r").arg(l.dia_mes_ano).arg(l.hora_min_seg) +
                        QStringLiteral("Argumentos: ") + brutos.join(QLatin1Char(' ')));
}

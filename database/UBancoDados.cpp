#include "UBancoDados.h"

#include "UAbastecimento.h"
#include "UArquivoIni.h"
#include "UBicos.h"
#include "UDiretorioPrograma.h"
#include "UGenerico.h"
#include "UParametros.h"

#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QThread>

#include <limits>
#include <thread>

namespace {

const QString cConsultaSequencia =
    QStringLiteral("select max(paraposto.sequenciaabast) sequenciaabast from paraposto");

const QString cInsereAbastecimento = QStringLiteral(
    "INSERT into mvabast( mvabast.Data, mvabast.Hora, mvabast.CodBico, mvabast.Combustivel, mvabast.Litragem, "
    "mvabast.Valor, mvabast.CodProd, mvabast.CodGrade, mvabast.CodFid, mvabast.PrecoUnit, mvabast.Desconto, "
    "mvabast.Emitido, mvabast.Id, mvabast.Sequencia, mvabast.EncerranteFinal) Values( :PData, :PHora, :PCodBico, "
    ":PCombustivel, :PLitragem, :PValor, :PCodProd, :PCodGrade, :PCodFid, :PPrecoUnit, :PDesconto, :PEmitido, :PId, "
    ":PSequencia, :PEncerranteFinal)");

const QString cDadosProduto = QStringLiteral(
    "select bombas.codbico, bombas.codempresa, bombas.codtanque, bombas.descricao, substring(tanques.codtanque from "
    "1 for 2) || substring(tanques.codtanque from 4 for 2) codgrade, tanques.codprod from bombas inner join tanques "
    "on (tanques.codtanque = bombas.codtanque) where bombas.codconcentrador = :PCodConcentrador");

const QString cListaBicos = QStringLiteral(
    "select substring(bombas.codconcentrador from 1 for 2) as Slave, substring(bombas.codconcentrador from 3 for 2) "
    "as bomba, substring(bombas.codconcentrador from 5 for 2) as Bico, bombas.descricao, bombas.precovenda as "
    "preco, bombas.statusbico from bombas order by slave, bomba, bico");

const QString cAbastecimentosDoDia = QStringLiteral(
    "select mvabast.data, mvabast.hora, substring(bombas.codtanque from 4 for 2) as tanque, substring(mvabast.codbico "
    "from 1 for 2) as Bomba, substring(mvabast.codbico from 4 for 2) as Bico, mvabast.litragem, mvabast.precounit as "
    "preco, mvabast.valor, mvabast.sequencia, mvabast.id from mvabast inner join bombas on(bombas.codbico = "
    "mvabast.codbico) where mvabast.data = :PData order by mvabast.data, mvabast.hora desc");

const QString cMotivo = QStringLiteral("\rMotivo: ");

QString FTexto(const QString& pSecao, const QString& pChave)
{
    return TArquivoIni(TDiretorioPrograma::FArquivo(QStringLiteral("ZelvioECF.ini"))).FLeTexto(pSecao, pChave, QString());
}

} // namespace

TBancoDados::TBancoDados()
{
    PConectaBanco();
}

TBancoDados::TBancoDados(const TDadosConexao& pDados)
{
    vConexao.PDefineDados(pDados);
    vConexao.PDefineEsperaTrava(cEsperaTravaSegundos);
}

TResultadoSql TBancoDados::FConsultaAguardando(const QString& pSql)
{
    const QCoreApplication* aplicacao = QCoreApplication::instance();
    if (!aplicacao || QThread::currentThread() != aplicacao->thread())
        return vConexao.FConsulta(pSql);
    TResultadoSql resultado;
    std::exception_ptr erro;
    QEventLoop espera;
    std::thread linha([&] {
        try {
            resultado = vConexao.FConsulta(pSql);
        } catch (...) {
            erro = std::current_exception();
        }
        QMetaObject::invokeMethod(&espera, &QEventLoop::quit, Qt::QueuedConnection);
    });
    espera.exec(QEventLoop::ExcludeUserInputEvents);
    linha.join();
    if (erro)
        std::rethrow_exception(erro);
    return resultado;
}

QString TBancoDados::FCodigoConcentrador(int pTanque, int pBomba, int pBico)
{
    return TGenerico::FCompletaZero(pTanque, 2) + TGenerico::FCompletaZero(pBomba, 2) +
           TGenerico::FCompletaZero(pBico, 2);
}

void TBancoDados::PConectaBanco()
{
    const QString secao = QStringLiteral("CONEXAO");
    const QString caminho = FTexto(secao, QStringLiteral("CAMINHO"));
    const QString usuario = FTexto(secao, QStringLiteral("USER"));
    const QString senhaGravada = FTexto(secao, QStringLiteral("PASSWORD"));
    try {
        // A stored password that cannot be decoded can no more reach the
        // database than a wrong one: it ends the program the same way.
        const QString senha = TGenerico::FDescripta(senhaGravada, static_cast<int>(senhaGravada.size() / 3));
        vConexao.PConecta(caminho, usuario, senha, QStringLiteral("RoleName"));
    } catch (const EErro& erro) {
        // The end is asked for first: a log that cannot be written (a program
        // directory without rights, a full disk) must not leave the program
        // running half made.
        vFimSolicitado = true;
        if (QCoreApplication::instance())
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        PRegistraFalhaConexao(QStringLiteral("Ocorreu um erro ao ao tentar comunicar com o banco de dados.") + cMotivo +
                              erro.Mensagem());
    }
}

void TBancoDados::PRegistraFalhaConexao(const QString& pTexto)
{
    try {
        TGenerico::PGeraLog(pTexto);
    } catch (const EErro& falhaLog) {
        // Nobody will see a message box of a program that is ending: the
        // reason goes where whoever started it from a terminal reads it.
        QString texto = pTexto + QLatin1Char('\r') + falhaLog.Mensagem();
        qCritical("%s", qUtf8Printable(texto.replace(QLatin1Char('\r'), QLatin1Char('\n'))));
    }
}

// --- fueling store ---------------------------------------------------------------

int TBancoDados::FRetornaSequencia()
{
    const TResultadoSql resultado = vConexao.FConsulta(cConsultaSequencia);
    return resultado.Linhas() > 0 ? resultado.FInteiro(0, QStringLiteral("SequenciaAbast")) : 0;
}

bool TBancoDados::FGravaAbastecimento(const TAbastecimento& pAbastecimento)
{
    const bool resultado = FInsereAbastecimento(pAbastecimento);
    // The Id is used up whether or not the row went in.
    PAvancaNumeracao(pAbastecimento.Id());
    return resultado;
}

bool TBancoDados::FInsereAbastecimento(const TAbastecimento& pAbastecimento)
{
    bool resultado = true;
    const QDateTime& momento = pAbastecimento.DataHora();
    try {
        vConexao.PExecuta(cInsereAbastecimento,
                          {{QStringLiteral("PData"), momento.date().toString(QStringLiteral("dd.MM.yyyy"))},
                           {QStringLiteral("PHora"), momento.time().toString(QStringLiteral("HH:mm:ss"))},
                           {QStringLiteral("PCodBico"), pAbastecimento.Codbico()},
                           {QStringLiteral("PCombustivel"), pAbastecimento.Combustivel()},
                           {QStringLiteral("PLitragem"), pAbastecimento.Litragem()},
                           {QStringLiteral("PValor"), pAbastecimento.Valor()},
                           {QStringLiteral("PCodProd"), pAbastecimento.Codprod()},
                           {QStringLiteral("PCodGrade"), pAbastecimento.Codgrade()},
                           {QStringLiteral("PCodFid"), pAbastecimento.Codfid()},
                           {QStringLiteral("PPrecoUnit"), pAbastecimento.Precounit()},
                           {QStringLiteral("PDesconto"), pAbastecimento.Desconto()},
                           {QStringLiteral("PEmitido"), pAbastecimento.Emitido()},
                           {QStringLiteral("PId"), pAbastecimento.Id()},
                           {QStringLiteral("PSequencia"), pAbastecimento.Sequencia()},
                           {QStringLiteral("PEncerranteFinal"), pAbastecimento.Encerrantefinal()}});
    } catch (const EErroBanco& erro) {
        TGenerico::PGeraLog(QStringLiteral("Ocorreu um erro ao tentar gravar o abastecimento.") + cMotivo +
                            erro.Mensagem());
        // With the connection lost nobody knows whether the commit got
        // through; a lock conflict or a full disk may be gone a moment
        // later. What may pass leaves the Id unused, and the caller looks for
        // the row before storing the fueling again.
        if (!erro.Recusa())
            throw;
        resultado = false;
    }
    return resultado;
}

void TBancoDados::PAvancaNumeracao(int pId, std::unique_ptr<TGravacaoPreparada> pPreparada)
{
    try {
        PAvancaId(pId, std::move(pPreparada));
    } catch (const ENumeracaoPendente&) {
        throw;
    } catch (const EErro& erro) {
        throw ENumeracaoPendente(erro.Mensagem());
    }
}

void TBancoDados::PRetomaNumeracao(int pId, int pSequencia)
{
    try {
        if (pId == 9999 && FRetornaSequencia() > pSequencia)
            PGravaId(1);
        else
            PAvancaId(pId, nullptr);
    } catch (const ENumeracaoPendente&) {
        throw;
    } catch (const EErro& erro) {
        throw ENumeracaoPendente(erro.Mensagem());
    }
}

namespace {

int FProximoId(int pId)
{
    // Past the 32-bit range the count starts again rather than overflow.
    return pId == std::numeric_limits<int>::max() ? 1 : pId + 1;
}

} // namespace

std::unique_ptr<TGravacaoPreparada> TBancoDados::FPreparaNumeracao(int pId)
{
    if (pId == 9999)
        return nullptr; // the sequence rises first
    try {
        return TArquivoIni(TParametros::FCaminhoArquivo())
            .FPreparaTexto(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), QString::number(FProximoId(pId)));
    } catch (const EErro&) {
        return nullptr;
    }
}

void TBancoDados::PAvancaId(int pId, std::unique_ptr<TGravacaoPreparada> pPreparada)
{
    if (pId == 9999) {
        // Starting the Id again at 1 in a sequence that did not rise would
        // number the next fueling like one already stored. The Id stays at
        // 9999 and the fueling's capture stays pending until the rise works.
        if (!FAlteraSequencia())
            throw ENumeracaoPendente(QStringLiteral("Ocorreu um erro ao tentar alterar a sequência do abastecimento.\r"
                                       "O abastecimento fica pendente e a numeração continua quando a sequência "
                                       "puder ser alterada."));
        PGravaId(1);
        return;
    }
    PGravaId(FProximoId(pId), std::move(pPreparada));
}

bool TBancoDados::FExisteAbastecimento(const TAbastecimento& pAbastecimento)
{
    const QDateTime& momento = pAbastecimento.DataHora();
    return vConexao
               .FConsulta(QStringLiteral("select count(*) quantos from mvabast where mvabast.id = :PId and "
                                         "mvabast.sequencia = :PSequencia and mvabast.codbico = :PCodBico and "
                                         "mvabast.data = :PData and mvabast.hora = :PHora"),
                          {{QStringLiteral("PId"), pAbastecimento.Id()},
                           {QStringLiteral("PSequencia"), pAbastecimento.Sequencia()},
                           {QStringLiteral("PCodBico"), pAbastecimento.Codbico()},
                           {QStringLiteral("PData"), momento.date().toString(QStringLiteral("dd.MM.yyyy"))},
                           {QStringLiteral("PHora"), momento.time().toString(QStringLiteral("HH:mm:ss"))}})
               .FInteiro(0, QStringLiteral("quantos")) > 0;
}

bool TBancoDados::FAlteraSequencia()
{
    const TResultadoSql atual = vConexao.FConsulta(cConsultaSequencia);
    const int sequencia = atual.Linhas() > 0 ? atual.FInteiro(0, QStringLiteral("sequenciaabast")) : 0;
    try {
        vConexao.PExecuta(QStringLiteral("update paraposto set paraposto.sequenciaabast = :PSequenciaAbast"),
                          {{QStringLiteral("PSequenciaAbast"), sequencia + 1}});
    } catch (const EErroBanco& erro) {
        TGenerico::PGeraLog(QStringLiteral("Ocorreu um erro ao tentar alterar a sequência do abastecimento.") +
                            cMotivo + erro.Mensagem());
        return false;
    }
    return true;
}

void TBancoDados::PGravaId(int pId, std::unique_ptr<TGravacaoPreparada> pPreparada)
{
    try {
        if (pPreparada)
            pPreparada->PConclui();
        else
            TArquivoIni(TParametros::FCaminhoArquivo()).PGravaInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), pId);
    } catch (const EErro&) {
        if (Parametros)
            Parametros->PGuardaIdNaoGravado(pId);
        throw;
    }
    if (Parametros)
        Parametros->PIdGravado();
}

// --- station views ---------------------------------------------------------------

TResultadoSql TBancoDados::FAbastecimentosDoDia(TConexaoFirebird& pConexao)
{
    return pConexao.FConsulta(cAbastecimentosDoDia,
                              {{QStringLiteral("PData"), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))}});
}

TResultadoSql TBancoDados::FEncerrantesDepois(const QDate& pData, int pSequencia, int pId)
{
    return vConexao.FConsulta(
        QStringLiteral("select bombas.codconcentrador, mvabast.encerrantefinal, mvabast.litragem, mvabast.sequencia, "
                       "mvabast.id from mvabast join bombas on bombas.codbico = mvabast.codbico "
                       "where mvabast.data >= :PData and (mvabast.sequencia > :PSequencia or "
                       "(mvabast.sequencia = :PSequencia and mvabast.id > :PId)) "
                       "order by mvabast.data, mvabast.hora, mvabast.sequencia, mvabast.id"),
        {{QStringLiteral("PData"), pData.toString(QStringLiteral("dd.MM.yyyy"))},
         {QStringLiteral("PSequencia"), pSequencia},
         {QStringLiteral("PId"), pId}});
}

// --- nozzle registry ---------------------------------------------------------------

bool TBancoDados::FExisteBicoCadastrado(int pTanque, int pBomba, int pBico)
{
    // Only whether there is a row: the station's other columns of bombas,
    // whatever their types, are not read.
    return vConexao.FContaLinhas(
               QStringLiteral("select bombas.* from bombas where bombas.codconcentrador = :PCodConcentrador"),
               {{QStringLiteral("PCodConcentrador"), FCodigoConcentrador(pTanque, pBomba, pBico)}}) > 0;
}

std::unique_ptr<TAbastecimento> TBancoDados::FRetornaDadosProduto(int pTanque, int pBomba, int pBico)
{
    return FDadosProduto(vConexao.FConsulta(
        cDadosProduto, {{QStringLiteral("PCodConcentrador"), FCodigoConcentrador(pTanque, pBomba, pBico)}}));
}

std::unique_ptr<TAbastecimento> TBancoDados::FRetornaDadosBicoCadastrado(int pTanque, int pBomba, int pBico)
{
    const TResultadoSql dados = vConexao.FConsulta(
        cDadosProduto, {{QStringLiteral("PCodConcentrador"), FCodigoConcentrador(pTanque, pBomba, pBico)}});
    // A row of the product query is a row of bombas with this code: the
    // registry look-up would only say so again.
    if (dados.Linhas() == 0 && !FExisteBicoCadastrado(pTanque, pBomba, pBico))
        return nullptr;
    return FDadosProduto(dados);
}

std::unique_ptr<TAbastecimento> TBancoDados::FDadosProduto(const TResultadoSql& pDados)
{
    auto abastecimento = std::make_unique<TAbastecimento>();
    if (pDados.Linhas() > 0) {
        abastecimento->SetCombustivel(pDados.FTexto(0, QStringLiteral("descricao")));
        abastecimento->SetCodgrade(pDados.FTexto(0, QStringLiteral("codgrade")));
        abastecimento->SetCodbico(pDados.FTexto(0, QStringLiteral("codbico")));
        abastecimento->SetCodEmpresa(pDados.FTexto(0, QStringLiteral("codempresa")));
        abastecimento->SetCodprod(pDados.FTexto(0, QStringLiteral("codprod")));
    }
    abastecimento->SetSequencia(FRetornaSequencia());
    abastecimento->SetEmitido(QStringLiteral("N"));
    return abastecimento;
}

namespace {

QString FSqlStatusBico(bool pBloq)
{
    const QString filtro = pBloq ? QStringLiteral("where substring(bombas.codconcentrador from 1 for 4) = :PCodConcentrador ")
                                 : QStringLiteral("where bombas.codconcentrador = :PCodConcentrador ");
    return QStringLiteral("update bombas set bombas.statusbico = :pstatusbico ") + filtro;
}

TParametrosSql FParametrosStatusBico(bool pBloq, const QString& pStatus, int pTanque, int pBomba, int pBico)
{
    const QString codigo = pBloq ? TGenerico::FCompletaZero(pTanque, 2) + TGenerico::FCompletaZero(pBomba, 2)
                                 : TBancoDados::FCodigoConcentrador(pTanque, pBomba, pBico);
    return {{QStringLiteral("pstatusbico"), pStatus}, {QStringLiteral("PCodConcentrador"), codigo}};
}

} // namespace

bool TBancoDados::FGravaStatusBico(bool pBloq, const QString& pStatus, int pTanque, int pBomba, int pBico)
{
    try {
        vConexao.PExecuta(FSqlStatusBico(pBloq), FParametrosStatusBico(pBloq, pStatus, pTanque, pBomba, pBico));
    } catch (const EErroBanco& erro) {
        TGenerico::PGeraLog(FTextoFalhaStatus() + cMotivo + erro.Mensagem());
        return false;
    }
    return true;
}

void TBancoDados::PAlteraStatusBico(bool pBloq, const QString& pStatus, int pTanque, int pBomba, int pBico)
{
    vConexao.PExecutaSemEspera(FSqlStatusBico(pBloq), FParametrosStatusBico(pBloq, pStatus, pTanque, pBomba, pBico));
}

std::unique_ptr<TListaBicos> TBancoDados::FRetornaDadosBico()
{
    const TResultadoSql dados = FConsultaAguardando(cListaBicos);
    auto lista = std::make_unique<TListaBicos>();
    for (int i = 0; i < dados.Linhas(); ++i) {
        std::unique_ptr<TBico> bico = FBicoDaLinha(dados, i);
        bico->SetStatus(dados.FTexto(i, QStringLiteral("statusbico")));
        lista->PAdiciona(std::move(bico));
    }
    return lista;
}

namespace {

// A part of the concentrator code as a number. A null code is an empty one:
// read as 0 it would name nozzle 0-0-0, and a price would go there.
int FParteCodigo(const TResultadoSql& pDados, int pLinha, const QString& pColuna)
{
    if (!pDados.Valor(pLinha, pColuna).isValid())
        throw EErro(QStringLiteral("'' não é um valor inteiro válido."));
    return pDados.FInteiro(pLinha, pColuna);
}

} // namespace

std::unique_ptr<TBico> TBancoDados::FBicoDaLinha(const TResultadoSql& pDados, int pLinha)
{
    auto bico = std::make_unique<TBico>();
    bico->SetTanque(FParteCodigo(pDados, pLinha, QStringLiteral("Slave")));
    bico->SetBomba(FParteCodigo(pDados, pLinha, QStringLiteral("bomba")));
    bico->SetBico(FParteCodigo(pDados, pLinha, QStringLiteral("Bico")));
    bico->SetDescricao(pDados.FTexto(pLinha, QStringLiteral("descricao")));
    bico->SetPreco(pDados.FDouble(pLinha, QStringLiteral("preco")));
    return bico;
}

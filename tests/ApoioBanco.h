#pragma once

#include "ApoioTestes.h"
#include "UFirebird.h"

#include <memory>

class TBancoDados;

// A real station database, embedded, in the test's own directory, made from
// the project's schema script, with ZelvioECF.ini pointing at it.
class TPostoTeste {
public:
    explicit TPostoTeste(bool pDemo = false);
    // The same station on a Firebird server: pLocal is how the server names
    // the file (host/port:path).
    TPostoTeste(const std::function<QString(const QString&)>& pLocal, const QString& pUsuario, const QString& pSenha);
    ~TPostoTeste();

    QString FCaminhoBanco() const { return vDir.FCaminho(QStringLiteral("posto.fdb")); }
    TDiretorioTeste& Diretorio() { return vDir; }
    // A connection of the test's own, to set up and inspect the station.
    TConexaoFirebird& Conexao() { return vConexao; }
    void PExecuta(const QString& pSql) { vConexao.PExecuta(pSql); }
    TResultadoSql FConsulta(const QString& pSql) { return vConexao.FConsulta(pSql); }
    // A nozzle row: address, station code, tank, description, price.
    void PCadastraBico(const QString& pCodConcentrador, const QString& pCodBico, const QString& pTanque,
                       const QString& pDescricao = QStringLiteral("GASOLINA COMUM"), double pPreco = 5.799);
    void PCadastraTanque(const QString& pCodTanque, const QString& pCodProd);
    // The rows of a query, fields joined by "|" and rows by a line break.
    QString FLinhas(const QString& pSql);
    // Today's log, whole.
    QByteArray FLog() const;

private:
    TDiretorioTeste vDir;
    TConexaoFirebird vConexao;
};

#pragma once

#include <QDateTime>
#include <QString>

// One fueling on its way from the concentrator to the station database.
// A plain record: every property reads and writes its field, nothing more.
class TAbastecimento {
public:
    TAbastecimento() = default;

    const QDateTime& DataHora() const { return vDataHora; }
    void SetDataHora(const QDateTime& p) { vDataHora = p; }
    const QString& Codbico() const { return vCodbico; }
    void SetCodbico(const QString& p) { vCodbico = p; }
    const QString& Combustivel() const { return vCombustivel; }
    void SetCombustivel(const QString& p) { vCombustivel = p; }
    double Litragem() const { return vLitragem; }
    void SetLitragem(double p) { vLitragem = p; }
    double Valor() const { return vValor; }
    void SetValor(double p) { vValor = p; }
    const QString& Codprod() const { return vCodprod; }
    void SetCodprod(const QString& p) { vCodprod = p; }
    const QString& Codgrade() const { return vCodgrade; }
    void SetCodgrade(const QString& p) { vCodgrade = p; }
    double Precounit() const { return vPrecounit; }
    void SetPrecounit(double p) { vPrecounit = p; }
    double Desconto() const { return vDesconto; }
    void SetDesconto(double p) { vDesconto = p; }
    const QDateTime& DataHoraAfericao() const { return vDataHoraAfericao; }
    void SetDataHoraAfericao(const QDateTime& p) { vDataHoraAfericao = p; }
    const QString& Emitido() const { return vEmitido; }
    void SetEmitido(const QString& p) { vEmitido = p; }
    const QString& Usuarioafericao() const { return vUsuarioafericao; }
    void SetUsuarioafericao(const QString& p) { vUsuarioafericao = p; }
    const QString& Controle() const { return vControle; }
    void SetControle(const QString& p) { vControle = p; }
    int Id() const { return vId; }
    void SetId(int p) { vId = p; }
    int Sequencia() const { return vSequencia; }
    void SetSequencia(int p) { vSequencia = p; }
    const QString& Pdv() const { return vPdv; }
    void SetPdv(const QString& p) { vPdv = p; }
    const QString& Cupom() const { return vCupom; }
    void SetCupom(const QString& p) { vCupom = p; }
    double Encerrantefinal() const { return vEncerrantefinal; }
    void SetEncerrantefinal(double p) { vEncerrantefinal = p; }
    const QString& Codfid() const { return vCodfid; }
    void SetCodfid(const QString& p) { vCodfid = p; }
    const QString& Numnf() const { return vNumnf; }
    void SetNumnf(const QString& p) { vNumnf = p; }
    const QString& Serie() const { return vSerie; }
    void SetSerie(const QString& p) { vSerie = p; }
    const QString& CodEmpresa() const { return vCodEmpresa; }
    void SetCodEmpresa(const QString& p) { vCodEmpresa = p; }

private:
    // A null date-time stands for "not set yet"; capture always sets DataHora.
    QDateTime vDataHora;
    QString vCodbico;
    QString vCombustivel;
    double vLitragem = 0;
    double vValor = 0;
    QString vCodprod;
    QString vCodgrade;
    double vPrecounit = 0;
    double vDesconto = 0;
    QDateTime vDataHoraAfericao;
    QString vEmitido;
    QString vUsuarioafericao;
    QString vControle;
    int vId = 0;
    int vSequencia = 0;
    QString vPdv;
    QString vCupom;
    double vEncerrantefinal = 0;
    QString vCodfid;
    QString vNumnf;
    QString vSerie;
    QString vCodEmpresa;
};

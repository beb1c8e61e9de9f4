#pragma once

#include <QString>

#include <memory>
#include <vector>

// One nozzle as the station's nozzle table describes it. The slave number
// is held in Tanque, the name the station software has always used.
class TBico {
public:
    TBico() = default;

    int Tanque() const { return vTanque; }
    void SetTanque(int p) { vTanque = p; }
    int Bomba() const { return vBomba; }
    void SetBomba(int p) { vBomba = p; }
    int Bico() const { return vBico; }
    void SetBico(int p) { vBico = p; }
    const QString& Descricao() const { return vDescricao; }
    void SetDescricao(const QString& p) { vDescricao = p; }
    double Preco() const { return vPreco; }
    void SetPreco(double p) { vPreco = p; }
    const QString& Status() const { return vStatus; }
    void SetStatus(const QString& p) { vStatus = p; }

private:
    int vTanque = 0;
    int vBomba = 0;
    int vBico = 0;
    QString vDescricao;
    double vPreco = 0;
    QString vStatus;
};

// An ordered list that owns its nozzles: they go when the list goes.
class TListaBicos {
public:
    // Positions run from 0 to Count() - 1.
    TBico* FBico(int pIndex) const { return vBicos.at(static_cast<size_t>(pIndex)).get(); }
    void PAdiciona(std::unique_ptr<TBico> pBico) { vBicos.push_back(std::move(pBico)); }
    int Count() const { return static_cast<int>(vBicos.size()); }

private:
    std::vector<std::unique_ptr<TBico>> vBicos;
};

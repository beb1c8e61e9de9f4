#pragma once

#include <QString>

#include <mutex>
#include <optional>

// The settings of one concentrator, section FCMn of the connector's file.
class TConcentrador {
public:
    int ModoOperacao() const { return vModoOperacao; }
    void SetModoOperacao(int p) { vModoOperacao = p; }
    int MensagemAbast() const { return vMensagemAbast; }
    void SetMensagemAbast(int p) { vMensagemAbast = p; }
    int NumBombas() const { return vNumBombas; }
    void SetNumBombas(int p) { vNumBombas = p; }

private:
    int vModoOperacao = 0;
    int vMensagemAbast = 0;
    int vNumBombas = 0;
};

// The connector's own settings, ConcentradorTarnex.ini in the program's
// directory. Read once at start-up, except the fueling Id, which is read
// from the file at every access so the number written after a fueling is
// the one the next fueling gets.
class TParametros {
public:
    TParametros();

    const TConcentrador& Fcm1() const { return vFcm[0]; }
    const TConcentrador& Fcm2() const { return vFcm[1]; }
    const TConcentrador& Fcm3() const { return vFcm[2]; }
    const TConcentrador& Fcm4() const { return vFcm[3]; }
    // Concentrators 1 to 4.
    const TConcentrador& Fcm(int pNumero) const { return vFcm[pNumero - 1]; }

    int Id() const;
    // An Id that could not be written to the file (disk full, no rights) is
    // the one given until a write succeeds: the file's older value belongs
    // to a fueling already stored.
    void PGuardaIdNaoGravado(int pId)
    {
        const std::lock_guard trava(vTravaId);
        vIdNaoGravado = pId;
    }
    void PIdGravado()
    {
        const std::lock_guard trava(vTravaId);
        vIdNaoGravado.reset();
    }
    bool AutorizaAuto() const { return vAutorizaAuto; }

    static QString FCaminhoArquivo();

private:
    // The capture moves the Id on from the database's thread; anyone may look.
    mutable std::mutex vTravaId;
    std::optional<int> vIdNaoGravado;
    TConcentrador vFcm[4];
    bool vAutorizaAuto = false;
};

// The one settings object, made by the main window at start-up.
inline TParametros* Parametros = nullptr;

#pragma once

#include "FcmMasterX_TLB.h"
#include "UCapturaAbastecimento.h"
#include "UEncerrantes.h"

#include <QWidget>

#include <memory>
#include <vector>

class QKeyEvent;
class QPushButton;
class QTableView;
class TBancoDados;
class TExecutorBanco;
class TFaixaBanner;
class TGenerico;
class TParametros;
class TTecladoJanela;

// The main window: the hub of the program. It makes the shared objects,
// shows the day's fuelings, connects the concentrators and handles every
// event the concentrator component reports.
class TFrmTarnex : public QWidget {
    Q_OBJECT
public:
    explicit TFrmTarnex(QWidget* pPai = nullptr);
    ~TFrmTarnex() override;

    // Concentrator connection.
    void btnFcmOpenClick();
    void btnFcmOpen2Click();
    void btnFcmOpen3Click();
    void btnFcmOpen4Click();
    void btnDesconectarClick();
    void btnVersaoClick();
    void btnStatusBicoClick();
    void btnConcentradorClick();
    void btnBombasClick();
    void btnAlterarPrecoClick();

    // The component's events.
    void FcmMasterAbasteceu(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl,
                            quint8 cdvol, quint8 cdtot, quint8 cdppl);
    void FcmMasterAbasteceu2(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int vol, int total_ini,
                             int total_final, int ppl, quint8 cdvol, quint8 cdtot_ini, quint8 cdtot_final,
                             quint8 cdppl, int hora_min_seg, int dia_mes_ano);
    void FcmMasterAbasteceuOff(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl,
                               quint8 cdvol, quint8 cdtot, quint8 cdppl, int hora_min_seg, int dia_mes_ano);
    void FcmMasterMudancaDeEstado(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, quint8 estado);
    void FcmMasterTotalizador(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int total, quint8 cd);
    void FcmMasterVolume(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int vol, quint8 cd);
    void FcmMasterPrecoPorLitro(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int ppl, quint8 cd);
    void FcmMasterVersaoFcmSlave(QObject* Sender, quint8 sl, int versao);
    void FcmMasterEventoFcmSlave(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int evento);
    void FcmMasterRetornoEspecial(QObject* Sender, quint8 sl, quint8 bo, quint8 bi, int retcod, int retorno1,
                                  int retorno2, int retorno3);
    void FcmMasterErroDLL(QObject* Sender, quint8 erro);

    // The window restored, raised and active: what a second start of the
    // program asks of the one running.
    void PTrazParaFrente();

    TFcmMaster* FcmMaster() const { return vFcmMaster; }
    // The database work of the concentrators' reports; nothing before a
    // successful start-up.
    TExecutorBanco* ExecutorBanco() const { return vExecutor.get(); }
    bool FlagOpen(int pConcentrador) const { return vFlagOpen[pConcentrador - 1]; }

    // The status letter of a state code, and whether it names the whole pump.
    static QString FLetraEstado(int pEstado);
    // "Versao FcmMaster V " and the version in four digits; empty beyond four.
    static QString FTextoVersao(int pVersao);

protected:
    void closeEvent(QCloseEvent* pEvento) override;

private:
    void PCriaFaixas();
    void PCriaBotoes();
    void PCriaGrade();
    void PLigaEventos();
    void PLigaBotoes();
    QPushButton* FCriaBotao(QWidget* pFaixa, const QString& pNome, const QString& pTexto, int pPosicao);
    void FormCreate();
    void PConecta(int pConcentrador, QPushButton* pBotao);
    bool FormKeyDown(QKeyEvent* pTecla);
    void PAbastecimento(int pEvento, const QList<qint64>& pArgs);
    void PGravaLote();
    void PRegistraOuCaptura(const std::vector<TCapturaAbastecimento::TNovo>& pNovos, std::vector<bool>& pRecebidos);
    void PLeitura(quint8 sl, quint8 bo, quint8 bi, int pValor, quint8 cd, const QString& pRotulo);
    void PNovoEncerrante(quint8 sl, quint8 bo, quint8 bi, const std::optional<TEncerrantes::TValor>& pValor,
                         bool pDefinido);

    TFaixaBanner* Panel1;
    TFaixaBanner* Panel2;
    TFcmMaster* vFcmMaster;
    QTableView* GridAbastecimento;
    TFaixaBanner* Panel3;
    TFaixaBanner* Panel4;
    QPushButton* btnFcmOpen;
    QPushButton* btnFcmOpen2;
    QPushButton* btnFcmOpen3;
    QPushButton* btnDesconectar;
    QPushButton* btnFcmOpen4;
    QPushButton* btnConcentrador;
    QPushButton* btnAlterarPreco;
    QPushButton* btnVersao;
    QPushButton* btnBombas;
    QPushButton* btnStatusBico;
    TTecladoJanela* vTeclado;

    bool vFlagOpen[4] = {false, false, false, false};
    quint8 Master = 0;
    quint8 Slave = 0;
    quint8 Bomba = 0;
    quint8 Bico = 0;

    // The program-wide shared objects live as long as the main window.
    std::unique_ptr<TBancoDados> vBancoDados;
    std::unique_ptr<TParametros> vParametros;
    std::unique_ptr<TGenerico> vGenerico;
    std::unique_ptr<TCapturaAbastecimento> vCaptura;
    std::unique_ptr<TEncerrantes> vEncerrantes;
    std::unique_ptr<TExecutorBanco> vExecutor;

    // Fuelings the component delivered in this run, not yet stored.
    struct TItemLote {
        TCapturaAbastecimento::TNovo vNovo;
        TFcmMaster::TEntrega vEntrega;
    };
    std::vector<TItemLote> vLote;
};

#pragma once

#include <QWidget>

class QPushButton;
class QTableView;
class TFaixaBanner;
class TTecladoJanela;

// The main window: the hub of the program.
class TFrmTarnex : public QWidget {
    Q_OBJECT
public:
    explicit TFrmTarnex(QWidget* pPai = nullptr);

private:
    void PCriaFaixas();
    void PCriaBotoes();
    QPushButton* FCriaBotao(QWidget* pFaixa, const QString& pNome, const QString& pTexto, int pPosicao);

    TFaixaBanner* Panel1;
    TFaixaBanner* Panel2;
    TFaixaBanner* Panel3;
    TFaixaBanner* Panel4;
    QTableView* GridAbastecimento;
    TTecladoJanela* vTeclado;
};

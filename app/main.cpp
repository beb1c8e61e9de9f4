#include "UAplicacao.h"
#include "UConfiguracaoRegional.h"
#include "UDiretorioPrograma.h"
#include "UInstanciaUnica.h"
#include "UMensagem.h"
#include "URegistroDisco.h"
#include "USinaisTermino.h"
#include "UTarnex.h"

int main(int argc, char** argv)
{
    TRegistroDisco::PInstalaSePedido();
    TAplicacao aplicacao(argc, argv);
    // Before anything reads or writes the directory: a second connector on
    // it would store every fueling again.
    TInstanciaUnica instancia(TDiretorioPrograma::FCaminho());
    switch (instancia.FReserva()) {
    case TInstanciaUnica::TResultado::Primeira:
        break;
    case TInstanciaUnica::TResultado::Avisada:
        return 0;
    case TInstanciaUnica::TResultado::SemResposta:
        TFrmMensagem::FMessageDlg(QStringLiteral("O Concentrador Tarnex já está aberto neste computador, mas não "
                                                 "respondeu.\rAguarde alguns segundos e abra o programa de novo; "
                                                 "se continuar assim, chame o suporte."),
                                  tmAlerta, bmOk, 0);
        return 1;
    }
    TConfiguracaoRegional::PCarregaDoSistema();
    // exit, not quit: quit would ask the window, whose close asks the
    // operator, and nobody may be there to answer.
    const TSinaisTermino sinais([] { TAplicacao::exit(0); });
    TFrmTarnex janela;
    instancia.PAoPedirJanela([&janela] { janela.PTrazParaFrente(); });
    // The database client put its own handlers in place when it attached.
    sinais.PInstala();
    janela.showMinimized();
    return aplicacao.exec();
}

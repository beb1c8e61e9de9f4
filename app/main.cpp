#include "UAplicacao.h"
#include "UConfiguracaoRegional.h"
#include "URegistroDisco.h"
#include "USinaisTermino.h"
#include "UTarnex.h"

int main(int argc, char** argv)
{
    TRegistroDisco::PInstalaSePedido();
    TAplicacao aplicacao(argc, argv);
    TConfiguracaoRegional::PCarregaDoSistema();
    // exit, not quit: quit would ask the window, whose close asks the
    // operator, and nobody may be there to answer.
    const TSinaisTermino sinais([] { TAplicacao::exit(0); });
    TFrmTarnex janela;
    // The database client put its own handlers in place when it attached.
    sinais.PInstala();
    janela.showMinimized();
    return aplicacao.exec();
}

#include "UAplicacao.h"
#include "UConfiguracaoRegional.h"
#include "USinaisTermino.h"
#include "UTarnex.h"

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TConfiguracaoRegional::PCarregaDoSistema();
    TFrmTarnex janela;
    // After the database client has installed its own handlers, so that
    // these replace them. exit, not quit: quit would ask the window, whose
    // close asks the operator, and nobody may be there to answer.
    const TSinaisTermino sinais([] { TAplicacao::exit(0); });
    janela.showMinimized();
    return aplicacao.exec();
}

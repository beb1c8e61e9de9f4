#include "UAplicacao.h"
#include "UConfiguracaoRegional.h"
#include "UTarnex.h"

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TConfiguracaoRegional::PCarregaDoSistema();
    TFrmTarnex janela;
    janela.showMinimized();
    return aplicacao.exec();
}

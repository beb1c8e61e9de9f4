#include "UAplicacao.h"
#include "UTarnex.h"

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TFrmTarnex janela;
    janela.show();
    return aplicacao.exec();
}

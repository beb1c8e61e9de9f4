// criaposto: makes a station database and points the connector at it.
#include "UDiretorioPrograma.h"
#include "UArgumentos.h"
#include "UEstacao.h"
#include "UErro.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

[[noreturn]] void PUso()
{
    std::fprintf(stderr,
                 "uso: criaposto [--dir DIR] [--banco LOCAL] [--usuario USUARIO] [--senha SENHA] [--sem-demo]\n"
                 "       criaposto --codifica SENHA\n"
                 "  Cria o banco do posto (LOCAL: um arquivo, ou servidor:/caminho num servidor Firebird;\n"
                 "  padrão DIR/posto.fdb), com as tabelas do conector e, sem --sem-demo, o cadastro de um\n"
                 "  posto de demonstração; grava ZelvioECF.ini (e ConcentradorTarnex.ini do demo) em DIR\n"
                 "  (padrão: o diretório do programa). --codifica mostra a senha na forma gravada.\n");
    std::exit(64);
}

QString FOpcao(QStringList& pArgs, const QString& pNome, const QString& pPadrao)
{
    const std::optional<QString> valor = TArgumentos::FRetiraOpcao(pArgs, pNome, pPadrao);
    if (!valor)
        PUso();
    return *valor;
}

bool FLocal(const QString& pBanco)
{
    // "host:path" reaches a server; "/path" and "C:..." style names do not exist here.
    return pBanco.startsWith(QLatin1Char('/')) || !pBanco.contains(QLatin1Char(':'));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    try {
        const QString codificar = FOpcao(args, QStringLiteral("--codifica"), QString());
        if (!codificar.isEmpty()) {
            std::printf("%s\n", qPrintable(TEstacao::FCodifica(codificar)));
            return 0;
        }
        const QString diretorio =
            QDir(FOpcao(args, QStringLiteral("--dir"), TDiretorioPrograma::FDiretorioExecutavel())).absolutePath();
        QString banco = FOpcao(args, QStringLiteral("--banco"), QDir(diretorio).filePath(QStringLiteral("posto.fdb")));
        const QString usuario = FOpcao(args, QStringLiteral("--usuario"), QStringLiteral("SYSDBA"));
        const QString senha = FOpcao(args, QStringLiteral("--senha"), QStringLiteral("masterkey"));
        const bool demo = !args.removeOne(QStringLiteral("--sem-demo"));
        if (!args.isEmpty())
            PUso();
        if (FLocal(banco)) {
            banco = QFileInfo(banco).absoluteFilePath();
            if (QFileInfo::exists(banco))
                throw EErro(QStringLiteral("O banco %1 já existe; nada foi alterado.").arg(banco));
        }
        TEstacao::PCriaBanco(banco, usuario, senha, demo);
        TEstacao::PGravaConfiguracao(diretorio, banco, usuario, senha, demo);
        std::printf("Banco do posto criado: %s\nConfiguração gravada em: %s\n", qPrintable(banco), qPrintable(diretorio));
        return 0;
    } catch (const EErro& erro) {
        std::fprintf(stderr, "criaposto: %s\n", qPrintable(QString(erro.Mensagem()).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
        return 1;
    }
}

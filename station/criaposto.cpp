// criaposto: makes a station database and points the connector at it.
#include "UDiretorioPrograma.h"
#include "UEstacao.h"
#include "UErro.h"
#include "ULinhaComando.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString cDir = QStringLiteral("dir");
const QString cBanco = QStringLiteral("banco");
const QString cUsuario = QStringLiteral("usuario");
const QString cSenha = QStringLiteral("senha");
const QString cSemDemo = QStringLiteral("sem-demo");
const QString cCodifica = QStringLiteral("codifica");

const QString cDescricao = QStringLiteral(
    "Cria o banco do posto, com as tabelas do conector e, sem --sem-demo, o cadastro de um\n"
    "posto de demonstração; grava ZelvioECF.ini (e ConcentradorTarnex.ini do demo) em DIR.\n"
    "Nunca mexe num arquivo de banco que já existe.\n"
    "  criaposto --codifica SENHA   mostra a senha na forma gravada em ZelvioECF.ini");

void PDefineOpcoes(TLinhaComando& pLinha)
{
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cDir, QStringLiteral("Onde gravar as configurações (padrão: o diretório do programa)."), QStringLiteral("DIR")));
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cBanco,
        QStringLiteral("O banco a criar: um arquivo, ou servidor:/caminho num servidor Firebird (padrão: DIR/posto.fdb)."),
        QStringLiteral("LOCAL")));
    pLinha.PAdicionaOpcao(QCommandLineOption(cUsuario, QStringLiteral("O usuário do Firebird (padrão: SYSDBA)."),
                                             QStringLiteral("USUARIO"), QStringLiteral("SYSDBA")));
    pLinha.PAdicionaOpcao(QCommandLineOption(cSenha, QStringLiteral("A senha desse usuário (padrão: masterkey)."),
                                             QStringLiteral("SENHA"), QStringLiteral("masterkey")));
    pLinha.PAdicionaOpcao(
        QCommandLineOption(cSemDemo, QStringLiteral("Só as tabelas, sem o posto de demonstração.")));
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cCodifica, QStringLiteral("Só mostra SENHA na forma gravada em ZelvioECF.ini; não cria nada."),
        QStringLiteral("SENHA")));
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
    QCoreApplication::setApplicationName(QStringLiteral("criaposto"));
    TLinhaComando linha(cDescricao);
    PDefineOpcoes(linha);
    linha.PLe(QCoreApplication::arguments());
    if (!linha.FArgumentos().isEmpty())
        linha.PErroDeUso(QStringLiteral("argumento a mais: '%1'.").arg(linha.FArgumentos().first()));
    try {
        if (linha.FTem(cCodifica)) {
            std::printf("%s\n", qPrintable(TEstacao::FCodifica(linha.FValor(cCodifica))));
            return 0;
        }
        const QString diretorio =
            QDir(linha.FTem(cDir) ? linha.FValor(cDir) : TDiretorioPrograma::FDiretorioExecutavel()).absolutePath();
        QString banco = linha.FTem(cBanco) ? linha.FValor(cBanco) : QDir(diretorio).filePath(QStringLiteral("posto.fdb"));
        const QString usuario = linha.FValor(cUsuario);
        const QString senha = linha.FValor(cSenha);
        const bool demo = !linha.FTem(cSemDemo);
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

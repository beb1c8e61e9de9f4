#include "UAplicacao.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Widget tests run without a display unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TAplicacao aplicacao(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

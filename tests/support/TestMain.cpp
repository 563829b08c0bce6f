// Entry point of every unit test program: a TApplication on Qt's offscreen
// platform (unless the caller chose another), then GoogleTest.
#include "Resources.h"
#include "gui/Fonts.h"
#include "gui/TApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    initPingboxResources();
    substituteWindowsFonts();
    return RUN_ALL_TESTS();
}

// The Qt tests run on real widgets inside one QApplication, offscreen unless the environment
// names another platform (so that listing the tests needs no display either).
#include <gtest/gtest.h>

#include <QApplication>

#include "render/gui_application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    print::render::ensureGuiApplication();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

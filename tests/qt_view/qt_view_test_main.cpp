// The view tests drive real widgets, which need a QApplication (not only the QGuiApplication the
// painter makes for itself); it is made first, on the offscreen platform when there is no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "render/gui_application.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    print::render::ensureGuiApplication();
    return RUN_ALL_TESTS();
}

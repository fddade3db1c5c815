// The render tests draw with Qt, which needs its application object before any font is used.
#include <gtest/gtest.h>

#include "render/gui_application.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    print::render::ensureGuiApplication();
    return RUN_ALL_TESTS();
}

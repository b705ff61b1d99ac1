#include <gtest/gtest.h>

#include "db/fbEngine.h"

// The wrapper's tests need no application object, no settings store and no widgets.
int main(int argc, char** argv) {
    // The engine's lock files of a test run stay apart from those of a kiosk on this machine.
    fb::UsePrivateEngineFolders(QStringLiteral(KIOSK_TEST_ENGINE_FOLDER));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

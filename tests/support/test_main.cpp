#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include "db/fbEngine.h"
#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    // Widget tests need an application object; they run without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The engine's lock files of a test run stay apart from those of a kiosk on this machine.
    fb::UsePrivateEngineFolders(QStringLiteral(KIOSK_TEST_ENGINE_FOLDER));
    ::testing::InitGoogleTest(&argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TestEnvironment environment;  // settings hives and log folder of this run only
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

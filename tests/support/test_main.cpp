#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    // Widget tests need an application object; they run without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TestEnvironment environment;  // settings hives and log folder of this run only
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

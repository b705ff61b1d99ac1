#include "support/TestEnvironment.h"

#include <QDir>

TestEnvironment::TestEnvironment() : path_(dir_.path()) {
    qputenv("KIOSK_REGISTRY_MACHINE",
            QDir(path_).filePath("machine/HKEY_LOCAL_MACHINE.reg").toUtf8());
    qputenv("KIOSK_REGISTRY_USER", QDir(path_).filePath("user/HKEY_CURRENT_USER.reg").toUtf8());
    qputenv("KIOSK_LOG_FOLDER", QDir(path_).filePath("logs/").toUtf8());
}

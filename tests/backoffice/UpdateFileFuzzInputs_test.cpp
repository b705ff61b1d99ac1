#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "backoffice/uUpdateFileReader.h"

namespace {

// Every input that ever crashed the update-file fuzz target is kept in tests/fuzz/crashes/ and
// read here again, so a crash once fixed stays fixed: each is read or refused with a reason.
TEST(UpdateFileFuzzInputs, EveryKeptInputIsReadOrRefused) {
    const QDir folder(QStringLiteral(KIOSK_SOURCE_DIR "/tests/fuzz/crashes"));
    const QStringList inputs = folder.entryList(
        {QStringLiteral("crash-*"), QStringLiteral("timeout-*"), QStringLiteral("oom-*"),
         QStringLiteral("leak-*"), QStringLiteral("slow-unit-*")},
        QDir::Files);
    ASSERT_FALSE(inputs.isEmpty()) << "no kept input in " << folder.path().toStdString();
    for (const QString& name : inputs) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        try {
            updatefile::ParseUpdateFile(file.readAll());
        } catch (const updatefile::UpdateFileFault& fault) {
            EXPECT_STRNE(fault.what(), "") << "refused without a reason";
        }
    }
}

}  // namespace

// docs/update-file.md is what the back office builds update files from: it must name every key
// the reader takes, and its example must be a file the kiosk applies.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "backoffice/uImportUpdates.h"
#include "db/fbQuery.h"
#include "support/TestDatabases.h"

namespace {

const QString kSource = QStringLiteral(KIOSK_SOURCE_DIR);

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QString document() {
    return readText(kSource + QStringLiteral("/docs/update-file.md"));
}

// The keys the reader looks up: every "key" handed to a reading routine with the JSON object it
// reads, as in Text(e, "dsc") or ForEachElement(document, "groups", ...); not the kinds named in
// its messages, as in Unreadable(key, "text").
QSet<QString> readerKeys() {
    const QString reader =
        readText(kSource + QStringLiteral("/src/backoffice/uUpdateFileReader.cpp"));
    static const QRegularExpression lookup(
        QStringLiteral(R"(\(\s*(?!key\b)\w+\s*,\s*"([a-z0-9_]+)\")"));
    QSet<QString> keys;
    for (const auto& match : lookup.globalMatch(reader)) keys.insert(match.captured(1));
    return keys;
}

TEST(UpdateFileDocument, NamesEveryKeyTheReaderTakes) {
    const QString text = document();
    ASSERT_FALSE(text.isEmpty());
    const QSet<QString> keys = readerKeys();
    ASSERT_GE(keys.size(), 40);  // the lookups were found at all
    for (const QString& key : keys)
        EXPECT_TRUE(text.contains(u'`' + key + u'`')) << key.toStdString() << " is not documented";
}

TEST(UpdateFileDocument, ItsExampleIsApplied) {
    const QString text = document();
    const qsizetype start = text.indexOf(QStringLiteral("```json\n"));
    ASSERT_GE(start, 0);
    const qsizetype end = text.indexOf(QStringLiteral("```"), start + 8);
    const QString example = text.mid(start + 8, end - start - 8);

    TestDatabases db;
    const ImportFolders folders = ImportFolders::ofDataFolder(db.folder());
    QDir().mkpath(folders.importFolder);
    QDir().mkpath(folders.resFolder);
    QFile file(folders.importFolder + QStringLiteral("example.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(example.toUtf8());
    file.close();
    const ImportFileResult result = ImportUpdateFile(db.kiosk(), folders, file.fileName());
    ASSERT_TRUE(result.applied) << result.reason.toStdString();

    fb::Query q(db.kiosk());
    q.setSQL(QStringLiteral("select DESCRIPTION from TBL_PROMOTIONS where PROMO_ID = 1"));
    q.open();
    EXPECT_EQ(q.field(0).toString(), QStringLiteral("2 Colas for €2"));
    q.setSQL(QStringLiteral("select POS_PASS from TBL_USERS where USER_ID = 7"));
    q.open();
    EXPECT_EQ(q.field(0).toString(), QStringLiteral("8880010010"));
    q.setSQL(QStringLiteral("select GTIN || ' ' || BATCH from TBL_RECALLS"));
    q.open();
    EXPECT_EQ(q.field(0).toString(), QStringLiteral("05449000000996 L2407"));
}

}  // namespace

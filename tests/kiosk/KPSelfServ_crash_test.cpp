// The kiosk killed outright (power cut, crash) in the middle of its work, and started again:
// the database is valid, an update file is applied whole exactly once, and every line scanned
// before the kill is there.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

#include "app/dm_main.h"
#include "db/fbQuery.h"
#include "kiosk/KioskInput.h"
#include "kiosk/fm_main.h"
#include "support/KioskProcess.h"
#include "uScaleShop.h"

namespace {

constexpr int kStartTimeout = 120000;
constexpr const char* kCola = "5449000000996";

int count(const KioskFolder& folder, const QString& sql) {
    auto conx = folder.connect(folder.kioskDatabase());
    fb::Query q(*conx);
    q.setSQL(sql);
    q.open();
    return q.field(0).toInt();
}

QStringList filesUnder(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    return files;
}

TEST(KilledKiosk, AnImportCutShortIsAppliedWholeExactlyOnceAfterTheRestart) {
    constexpr int kProducts = 8000;
    KioskFolder folder;
    const QString importFolder = folder.dataFolder() + QStringLiteral("Import/");
    QDir().mkpath(importFolder);
    const QString file = importFolder + QStringLiteral("KPScale.json");
    demo::WriteUpdateFile(demo::MakeScaleShop(kProducts, 100, QDate::currentDate()), file, false);
    const qint64 emptySize = QFileInfo(folder.kioskDatabase()).size();
    {
        KioskProcess kiosk(folder);
        kiosk.start();
        ASSERT_TRUE(kiosk.waitFor("STATUS=Importing", kStartTimeout))
            << kiosk.output().toStdString();
        // Killed once the import writes into the database, before it is done.
        while (QFileInfo(folder.kioskDatabase()).size() == emptySize && QFileInfo::exists(file))
            QThread::msleep(5);
        kiosk.signal(SIGKILL);
        ASSERT_TRUE(kiosk.waitForExit(5000));
        ASSERT_TRUE(QFileInfo::exists(file)) << "the import ended before the kill";
    }
    RestartAndValidate(folder);
    EXPECT_EQ(count(folder, QStringLiteral("select count(*) from TBL_PRODUCTS")), kProducts);
    EXPECT_EQ(count(folder, QStringLiteral("select count(*) from TBL_BARCODES")), 2 * kProducts);
    const QStringList archived = filesUnder(importFolder);
    ASSERT_EQ(archived.size(), 1) << archived.join(u' ').toStdString();
    EXPECT_TRUE(archived[0].contains(QStringLiteral("/Processed/"))) << archived[0].toStdString();
}

// The kiosk's main screen on a folder, scanning cola until it is killed; after each scan it
// prints how many scans are done. Started by the test below as a process of its own.
TEST(DISABLED_ScanningKiosk, ScansUntilKilled) {
    const QString folder = qEnvironmentVariable("KIOSK_SCAN_FOLDER");
    ASSERT_FALSE(folder.isEmpty());
    Tdm dataModule(folder + QStringLiteral("KPSelfServ"), TdmView{});
    TFmMain screen(dataModule);
    screen.show();
    for (int scanned = 1;; ++scanned) {
        TypeCode(&screen, QString::fromLatin1(kCola));
        std::printf("scanned %d\n", scanned);
        std::fflush(stdout);
        QCoreApplication::processEvents();
    }
}

TEST(KilledKiosk, LinesScannedBeforeTheKillAreThereAfterTheRestart) {
    KioskFolder folder;
    {
        auto conx = folder.connect(folder.kioskDatabase());
        fb::Query q(*conx);
        q.setSQL(
            QStringLiteral("insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, "
                           "VAT_RATE) values (101, 556, 'Cola 500ml', 1, 1.25, 20)"));
        q.execSQL();
        q.setSQL(QStringLiteral("insert into TBL_BARCODES (SID, BARCODE) values (101, :B)"));
        q.bind(QStringLiteral("B"), QString::fromLatin1(kCola));
        q.execSQL();
    }
    QProcess scanning;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KIOSK_SCAN_FOLDER"), folder.path());
    scanning.setProcessEnvironment(environment);
    scanning.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--gtest_also_run_disabled_tests"),
                    QStringLiteral("--gtest_filter=DISABLED_ScanningKiosk.*")});
    QByteArray output;
    static const QRegularExpression scannedLine(QStringLiteral("scanned (\\d+)\n"));
    int scanned = 0;
    while (scanned < 20 && scanning.waitForReadyRead(30000)) {
        output += scanning.readAllStandardOutput();
        for (auto it = scannedLine.globalMatch(QString::fromLatin1(output)); it.hasNext();)
            scanned = it.next().captured(1).toInt();
    }
    // processId() is 0 once it ended, and kill(0) would signal the test's own process group.
    if (scanning.state() != QProcess::NotRunning) ::kill(pid_t(scanning.processId()), SIGKILL);
    scanning.waitForFinished();
    output += scanning.readAllStandardOutput();
    for (auto it = scannedLine.globalMatch(QString::fromLatin1(output)); it.hasNext();)
        scanned = it.next().captured(1).toInt();
    ASSERT_GE(scanned, 20) << output.toStdString();

    RestartAndValidate(folder);
    // The scan after the last one reported may have been stored too.
    const int lines = count(folder, QStringLiteral("select count(*) from TBL_SALES_LINES l join "
                                                   "TBL_SALES_HEADERS h on h.SALES_ID = l.SALES_ID "
                                                   "where l.SID = 101 and h.STATUS = 0"));
    EXPECT_GE(lines, scanned);
    EXPECT_LE(lines, scanned + 1);
}

}  // namespace

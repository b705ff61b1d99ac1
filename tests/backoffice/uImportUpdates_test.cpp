#include "backoffice/uImportUpdates.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringEncoder>
#include <QThread>

#include "app/uFiles.h"
#include "backoffice/uImportAttempts.h"
#include "backoffice/uUpdateFileReader.h"
#include "db/fbQuery.h"
#include "support/FixedClock.h"
#include "support/LogReader.h"
#include "support/TestDatabases.h"

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const char* const kMasterTables[] = {
    "TBL_USERS",       "TBL_SALES_RESTRICTIONS", "TBL_BARCODES",       "TBL_PRODUCTS",
    "TBL_DEPARTMENTS", "TBL_PRODUCT_GROUPS",     "TBL_PROMO_PRODUCTS", "TBL_PROMO_TRIGGERS",
    "TBL_PROMOTIONS",  "TBL_PRICE_CODES",        "TBL_RECALLS"};

// The four site keys every update file needs, then the given sections.
QString UpdateJson(const QString& sections = {}, const QString& site1 = u"Glenbeg Station"_s) {
    QString json =
        uR"({"site1": "%1", "site2": "Naas Road", "phone": "045 555 0142", )"
        uR"("vatno": "IE9876543K")"_s.arg(site1);
    if (!sections.isEmpty()) json += u", "_s + sections;
    return json + u'}';
}

// A products section of so many products, each with a barcode: enough rows for the import to
// call its keepAlive.
QString ProductsSection(int products) {
    QStringList elements;
    for (int sid = 1; sid <= products; ++sid)
        elements << u"{\"sid\": %1, \"sku\": 1, \"dsc\": \"P\", \"did\": 1, \"rte\": 23, "
                    "\"sp\": 1, \"barcodes\": [{\"bar\": \"%2\"}]}"_s.arg(sid)
                        .arg(1000 + sid);
    return u"\"products\": ["_s + elements.join(u", "_s) + u']';
}

// One of every master table's rows.
const QString kFullSections =
    uR"(
  "groups": [{"grp": 1, "dsc": "Bakery", "glp": "grp_bakery.png", "btn": 1, "clf": 0, "clb": 255}],
  "users": [{"uid": 1, "log": "Aoife", "pas": "1001", "dob": 29000, "acc": "YY"}],
  "departments": [{"did": 3, "dsc": "Bakery", "rte": 13.5, "opn": "N", "btn": 3, "crd": "003",
                   "grp": "FOOD"}],
  "products": [{"sid": 5001, "sku": 5001, "dsc": "Croissant", "did": 3, "rte": 13.5, "sp": 1.6,
                "bgr": 1, "bnr": 1, "bgl": "key_croissant.png", "bcl": 16777215,
                "barcodes": [{"bar": "5391234005001"}]}],
  "restrictions": [{"id": 3, "type": 2, "age1": 18}],
  "promotions": [{"pid": 7, "dsc": "Two for 3", "vtp": 2, "beg": 45000, "end": 46000.5,
                  "prc": 3, "val": 3, "dis": 0, "day": "YYYYYYY",
                  "triggers": [{"lin": 1, "qty": 2}],
                  "products": [{"sid": 5001, "lin": 1, "prc": 0}]}],
  "price_codes": [{"pfx": "22", "typ": "P", "vck": false}],
  "recalls": [{"gtn": "5391234005004", "bat": "L042", "beg": 45000, "dsc": "Foreign body"}]
)"_s;

class ImportUpdatesTest : public ::testing::Test {
protected:
    ImportUpdatesTest()
        : clock_(QDateTime(QDate(2024, 3, 15), QTime(10, 0))),
          folders_(ImportFolders::ofDataFolder(db_.folder())) {
        QDir().mkpath(folders_.importFolder);
        QDir().mkpath(folders_.resFolder);
    }

    // Drops a file into the import folder.
    QString drop(const QString& name, const QByteArray& bytes) {
        const QString path = folders_.importFolder + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString drop(const QString& name, const QString& json) { return drop(name, json.toUtf8()); }

    ImportPassResult pass(const ImportView& view = {}) {
        return ImportUpdatesPass(db_.kiosk(), folders_, view);
    }

    // Applies a file on its own and expects it to be applied.
    void apply(const QString& json) {
        const ImportFileResult result =
            ImportUpdateFile(db_.kiosk(), folders_, drop(u"setup.json"_s, json));
        ASSERT_TRUE(result.applied) << result.reason.toStdString();
        EXPECT_EQ(attemptMarks(), QStringList());
    }

    fb::Value value(const QString& sql) {
        fb::Query q(db_.kiosk());
        q.setSQL(sql);
        q.open();
        return q.eof() ? fb::Value() : q.field(0);
    }
    qint64 count(const QString& table) {
        return value(u"select count(*) from "_s + table).toInt64();
    }
    QString site1() {
        return value(u"select OUR_ADD1 from TBL_SETUP where SETUP_ID = 1"_s).toString();
    }

    QString archived(const QString& archive, const QString& name) const {
        return folders_.importFolder + archive + u"/2024/03/"_s + name;
    }
    QStringList pictures() const { return QDir(folders_.resFolder).entryList(QDir::Files); }
    QStringList attemptMarks() const {
        return QDir(folders_.importFolder).entryList({u"*.attempts"_s}, QDir::Files);
    }

    // Passes of kiosks killed in the middle of applying the waiting file, one after the other.
    void interruptedPasses(int times) {
        db_.closeConnections();  // the engine lets one process at a time have the database
        for (int i = 0; i < times; ++i) {
            QProcess kiosk;
            kiosk.start(QStringLiteral(KIOSK_IMPORT_INTERRUPTED), {db_.kioskPath(), db_.folder()});
            ASSERT_TRUE(kiosk.waitForFinished(120000));
            const QString errors = QString::fromLocal8Bit(kiosk.readAllStandardError());
            ASSERT_EQ(kiosk.exitStatus(), QProcess::CrashExit) << errors.toStdString();
            // Killed with rows of the file written, not by a fault before or after the file.
            ASSERT_TRUE(errors.contains(u"killed mid-import"_s)) << errors.toStdString();
        }
    }

    // A shop with one row in every master table and one key picture.
    void givenAnAppliedShop() {
        apply(UpdateJson(kFullSections, u"Before"_s));
        QFile(folders_.resFolder + u"key_croissant.png"_s).open(QIODevice::WriteOnly);
    }

    // The file fails for the reason given, goes to Failed/ with one log line, and the shop is
    // as givenAnAppliedShop left it.
    void expectRefusedWithNothingChanged(const QString& file, const QString& reason) {
        const QString name = QFileInfo(file).fileName();
        const LogReader log;

        const ImportFileResult result = ImportUpdateFile(db_.kiosk(), folders_, file);

        EXPECT_FALSE(result.applied);
        EXPECT_TRUE(result.reason.contains(reason)) << result.reason.toStdString();
        EXPECT_EQ(result.archivedTo, archived(u"Failed"_s, name));
        EXPECT_TRUE(QFile::exists(archived(u"Failed"_s, name)));
        EXPECT_FALSE(QFile::exists(file));
        const QStringList lines = log.newLines();
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].contains(name) && lines[0].contains(result.reason));
        EXPECT_EQ(site1(), u"Before"_s);
        for (const char* table : kMasterTables)
            EXPECT_EQ(count(QString::fromLatin1(table)), 1) << table;
        EXPECT_EQ(pictures(), QStringList{u"key_croissant.png"_s});
        EXPECT_EQ(attemptMarks(), QStringList());
    }

    TestDatabases db_;
    FixedClockGuard clock_;
    ImportFolders folders_;
};

// ---- Whole files -------------------------------------------------------------------------

TEST_F(ImportUpdatesTest, SiteKeysAloneEmptyEveryMasterTableAndSetTheSite) {
    apply(UpdateJson(kFullSections));
    const QString file = drop(u"site.json"_s, UpdateJson({}, u"New Name"_s));

    const ImportPassResult result = pass();

    EXPECT_EQ(result.applied, QStringList{file});
    for (const char* table : kMasterTables)
        EXPECT_EQ(count(QString::fromLatin1(table)), 0) << table;
    EXPECT_EQ(site1(), u"New Name"_s);
    EXPECT_EQ(value(u"select OUR_VATNO from TBL_SETUP"_s).toString(), u"IE9876543K"_s);
    EXPECT_TRUE(QFile::exists(archived(u"Processed"_s, u"site.json"_s)));
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ImportUpdatesTest, EveryTableTakesTheFileAndAPassReportsIt) {
    drop(u"full.json"_s, UpdateJson(kFullSections));
    EXPECT_TRUE(pass().anyApplied());
    for (const char* table : kMasterTables)
        EXPECT_EQ(count(QString::fromLatin1(table)), 1) << table;
    EXPECT_EQ(value(u"select BARCODE from TBL_BARCODES where SID = 5001"_s).toString(),
              u"5391234005001"_s);
}

TEST_F(ImportUpdatesTest, TwoWaitingFilesAreBothAppliedInNameOrderAndTheSecondStays) {
    const QString a = drop(u"a.json"_s, UpdateJson(kFullSections, u"First"_s));
    const QString b = drop(u"b.json"_s, UpdateJson(uR"("products": [{"sid": 42, "sku": 42,
        "dsc": "Cola", "did": 6, "rte": 23, "sp": 2.2}])"_s,
                                                   u"Second"_s));

    const ImportPassResult result = pass();

    EXPECT_EQ(result.applied, (QStringList{a, b}));
    EXPECT_EQ(site1(), u"Second"_s);
    EXPECT_EQ(value(u"select list(SID) from TBL_PRODUCTS"_s).toString(), u"42"_s);
    EXPECT_EQ(count(u"TBL_PROMOTIONS"_s), 0);
}

TEST_F(ImportUpdatesTest, APassWhoseOnlyFileFailsReturnsFalse) {
    drop(u"bad.json"_s, QByteArray("{ not json"));
    const ImportPassResult result = pass();
    EXPECT_FALSE(result.anyApplied());
    EXPECT_EQ(result.failed.size(), 1);
}

// ---- Pictures ----------------------------------------------------------------------------

TEST_F(ImportUpdatesTest, PicturesOfAnUpdateReplaceThePicturesFolder) {
    QFile(folders_.resFolder + u"old.png"_s).open(QIODevice::WriteOnly);
    QDir().mkpath(folders_.resFolder + u"kept/"_s);
    drop(u"update.json"_s, UpdateJson());
    drop(u"new.png"_s, QByteArray("png"));

    const ImportPassResult result = pass();

    EXPECT_TRUE(result.anyApplied());
    EXPECT_EQ(pictures(), QStringList{u"new.png"_s});
    EXPECT_TRUE(QDir(folders_.resFolder + u"kept/"_s).exists());
    EXPECT_FALSE(QFile::exists(folders_.importFolder + u"new.png"_s));
}

TEST_F(ImportUpdatesTest, PicturesWithoutAnUpdateAreAddedWithoutTheWindow) {
    QFile(folders_.resFolder + u"old.png"_s).open(QIODevice::WriteOnly);
    drop(u"new.png"_s, QByteArray("png"));
    int windows = 0;
    ImportView view;
    view.filesStarting = [&] { ++windows; };

    const ImportPassResult result = pass(view);

    EXPECT_FALSE(result.anyApplied());
    EXPECT_EQ(result.picturesMoved, 1);
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(pictures(), (QStringList{u"new.png"_s, u"old.png"_s}));
}

TEST_F(ImportUpdatesTest, FilesStillBeingWrittenWaitForTheNextPass) {
    const QString file = drop(u"arriving.json"_s, UpdateJson({}, u"Arrived"_s));
    const QString picture = drop(u"arriving.png"_s, QByteArray("png"));
    QProcess writer;  // holds both files open, as a transport still writing them would
    writer.setStandardInputFile(file);
    writer.start(u"sh"_s, {u"-c"_s, u"exec 3<\"$0\"; exec sleep 30"_s, picture});
    ASSERT_TRUE(writer.waitForStarted());
    for (int i = 0; i < 250 && !IsFileInUse(picture); ++i) QThread::msleep(20);

    const ImportPassResult held = pass();
    writer.kill();
    writer.waitForFinished();
    const ImportPassResult released = pass();

    EXPECT_TRUE(held.applied.isEmpty() && held.failed.isEmpty());
    EXPECT_EQ(held.picturesMoved, 0);
    EXPECT_EQ(released.applied, QStringList{file});
    EXPECT_EQ(released.picturesMoved, 1);
    EXPECT_EQ(site1(), u"Arrived"_s);
}

// A database that cannot start the import's unit of work is no fault of the files: they wait.
TEST_F(ImportUpdatesTest, FilesWaitWhenTheDatabaseCannotTakeThem) {
    const QString file = drop(u"waiting.json"_s, UpdateJson({}, u"Waited"_s));
    const QString database = db_.kiosk().database();
    db_.kiosk().disconnect();
    db_.kiosk().setDatabase(db_.folder() + u"missing.gdb"_s);
    const LogReader log;

    const ImportPassResult refused = pass();

    EXPECT_TRUE(refused.applied.isEmpty() && refused.failed.isEmpty());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_TRUE(log.newLines().join(u'\n').contains(u"wait for the next pass"_s));
    db_.kiosk().setDatabase(database);
    EXPECT_EQ(pass().applied, QStringList{file});
    EXPECT_EQ(site1(), u"Waited"_s);
}

// ---- Reading kinds -----------------------------------------------------------------------

TEST_F(ImportUpdatesTest, EuroTextIsReplacedInProductsButNotInDepartments) {
    apply(
        UpdateJson(uR"(
      "departments": [{"did": 10, "dsc": "Top-Ups \\u20AC", "rte": 0, "opn": "N", "btn": 1,
                       "crd": "", "grp": ""}],
      "products": [{"sid": 9001, "sku": 9001, "dsc": "Vodafone Top-Up \\u20AC10", "did": 10,
                    "rte": 0, "sp": 10}])"_s));
    EXPECT_EQ(value(u"select DESCRIPTION from TBL_PRODUCTS"_s).toString(),
              u"Vodafone Top-Up \u20AC10"_s);
    EXPECT_EQ(value(u"select DESCRIPTION from TBL_DEPARTMENTS"_s).toString(), u"Top-Ups \\u20AC"_s);
}

TEST_F(ImportUpdatesTest, StaffCardCodesFromPasswords) {
    const struct {
        const char* pas;
        const char* posPass;
    } cases[] = {{"", ""},
                 {"7", "8880000070"},
                 {"1001", "8880010010"},
                 {"123456", "8881234560"},
                 {"1234567", "8881234567"},
                 {"12345678", "888123456780"}};
    QString users;
    int uid = 0;
    for (const auto& c : cases) {
        users +=
            u"%1{\"uid\": %2, \"log\": \"u\", \"pas\": \"%3\", \"dob\": 30000, \"acc\": \"YY\"}"_s
                .arg(users.isEmpty() ? u""_s : u", "_s)
                .arg(++uid)
                .arg(QLatin1StringView(c.pas));
    }
    apply(UpdateJson(u"\"users\": ["_s + users + u']'));
    uid = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(
            value(u"select POS_PASS from TBL_USERS where USER_ID = %1"_s.arg(++uid)).toString(),
            QLatin1StringView(c.posPass))
            << c.pas;
    }
    EXPECT_EQ(value(u"select DOB from TBL_USERS where USER_ID = 1"_s).toDate(), QDate(1982, 2, 18));
}

TEST_F(ImportUpdatesTest, AnOptionalKeyLeftOutIsNullEvenAfterAProductThatHadIt) {
    apply(
        UpdateJson(uR"("products": [
      {"sid": 1, "sku": 1, "dsc": "Keyed", "did": 3, "rte": 13.5, "sp": 1, "bgr": 2, "bnr": 4,
       "bgl": "a.png", "bcl": 255, "crd": "C", "vcd": "V"},
      {"sid": 2, "sku": 2, "dsc": "Plain", "did": 3, "rte": 13.5, "sp": 1}])"_s));
    for (const char* column :
         {"BGROUP", "BNUMBER", "BGLYPH", "BCOLOUR", "CARD_CODE", "VENDING_CODE"}) {
        const QString sql =
            u"select %1 from TBL_PRODUCTS where SID = %2"_s.arg(QLatin1StringView(column));
        EXPECT_FALSE(value(sql.arg(1)).isNull()) << column;
        EXPECT_TRUE(value(sql.arg(2)).isNull()) << column;
    }
    EXPECT_EQ(value(u"select STATUS from TBL_PRODUCTS where SID = 2"_s).toInt(), 0);
}

TEST_F(ImportUpdatesTest, RawWholeReadsTheTextAsWritten) {
    const struct {
        const char* grp;  // as it stands in the file
        int stored;
    } cases[] = {{"12", 12}, {"\"12\"", 12}, {"\"abc\"", 0}, {"12.5", 0}, {"4294967309", 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grp);
        apply(UpdateJson(
            u"\"groups\": [{\"grp\": %1, \"dsc\": \"G\", \"btn\": 1, \"clf\": 0, \"clb\": 0}]"_s
                .arg(QLatin1StringView(c.grp))));
        EXPECT_EQ(value(u"select PRODUCT_GROUP from TBL_PRODUCT_GROUPS"_s).toInt(), c.stored);
        EXPECT_TRUE(value(u"select GLYPH from TBL_PRODUCT_GROUPS"_s).isNull());
    }
}

// Amounts written plainly are read directly, the others through the locale's reading: both
// give what the locale's reading gives.
TEST_F(ImportUpdatesTest, AmountsReadAlikeWhateverTheirForm) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"1.25", 1.25},       {"-0.5", -0.5}, {"007", 7}, {"12", 12},
                 {"1,234.50", 1234.5}, {" 2.5", 2.5},  {"2.", 2},  {".5", 0.5},
                 {"1e2", 100},         {"(3)", -3},    {"--1", 0}, {"", 0}};
    QString products;
    for (size_t i = 0; i < std::size(cases); ++i) {
        products +=
            u"%1{\"sid\": %2, \"sku\": %2, \"dsc\": \"P\", \"did\": 1, \"rte\": \"0\", "
            "\"sp\": \"%3\"}"_s.arg(i ? u","_s : QString(), QString::number(i + 1),
                                    QString::fromLatin1(cases[i].text));
    }
    apply(
        UpdateJson(u"\"departments\": [{\"did\": 1, \"dsc\": \"D\", \"rte\": \"0\", "
                   "\"opn\": \"N\", \"btn\": 1, \"crd\": \"\", \"grp\": 7}], "
                   "\"products\": [%1]"_s.arg(products)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].text);
        EXPECT_EQ(value(u"select SP from TBL_PRODUCTS where SID = %1"_s.arg(i + 1)).toDouble(),
                  cases[i].value);
    }
}

TEST_F(ImportUpdatesTest, RawDecimalReadsParenthesesAsNegative) {
    apply(
        UpdateJson(uR"j(
      "departments": [{"did": 1, "dsc": "D", "rte": "(1.5)", "opn": "N", "btn": 1, "crd": "",
                       "grp": 7}],
      "products": [{"sid": 1, "sku": 1, "dsc": "P", "did": 1, "rte": "x", "sp": "1,234.50"},
                   {"sid": 2, "sku": 2, "dsc": "P", "did": 1, "rte": "inf", "sp": "nan"}])j"_s));
    EXPECT_EQ(value(u"select VAT_RATE from TBL_DEPARTMENTS"_s).toDouble(), -1.5);
    EXPECT_EQ(value(u"select GROUP_CODE from TBL_DEPARTMENTS"_s).toString(), u"7"_s);
    EXPECT_EQ(value(u"select VAT_RATE from TBL_PRODUCTS where SID = 1"_s).toDouble(), 0);
    EXPECT_EQ(value(u"select SP from TBL_PRODUCTS where SID = 1"_s).toDouble(), 1234.5);
    // Not a number the kiosk could price with: read as text that is no number.
    EXPECT_EQ(value(u"select VAT_RATE from TBL_PRODUCTS where SID = 2"_s).toDouble(), 0);
    EXPECT_EQ(value(u"select SP from TBL_PRODUCTS where SID = 2"_s).toDouble(), 0);
}

TEST_F(ImportUpdatesTest, RestrictionsByType) {
    apply(
        UpdateJson(uR"("restrictions": [
      {"id": 1001, "type": 1, "lim": 5},
      {"id": 1, "type": 2},
      {"id": 2, "type": 3, "lim": 9, "age1": 21},
      {"id": 3, "type": 2, "age1": 18, "age2": "16", "age3": 99,
       "trading_hours": [{"day": 8, "beg": 0.520833333333333, "end": 0.916666666666667}]},
      {"id": 4, "type": 2, "age1": "x", "trading_hours": []}])"_s));
    fb::Query q(db_.kiosk());
    q.setSQL(
        u"select REST_TYPE, SID, DEPT_ID, REST_VALUE, REST_DAY, REST_START, REST_END "
        "from TBL_SALES_RESTRICTIONS order by REST_TYPE"_s);
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList row;
        for (int i = 0; i < q.fieldCount(); ++i)
            row << (q.field(i).isNull() ? u"-"_s : q.field(i).toString());
        rows << row.join(u' ');
    }
    EXPECT_EQ(rows, (QStringList{u"0 1001 - 5 - - -"_s, u"1 - 3 18 - - -"_s, u"2 - 3 16 - - -"_s,
                                 u"3 - 3 - 8 12:30:00 22:00:00"_s}));
}

TEST_F(ImportUpdatesTest, PromotionDateTimesSplitAndAZeroProductPriceTakesThePromotions) {
    apply(
        UpdateJson(uR"("promotions": [{"pid": 7, "dsc": "Deal \\u20AC2", "vtp": 2,
      "beg": 45000.75, "end": 45016.999988425926, "prc": 2.5, "val": 2.5, "dis": 0,
      "day": "YYYYYNN", "triggers": [{"lin": 1, "qty": 2}, {"lin": 2, "qty": "1"}],
      "products": [{"sid": 1, "lin": 1, "prc": 0}, {"sid": 2, "lin": 1, "prc": 1.25}]}])"_s));
    EXPECT_EQ(value(u"select START_DATE from TBL_PROMOTIONS"_s).toDate(), QDate(2023, 3, 15));
    EXPECT_EQ(value(u"select START_TIME from TBL_PROMOTIONS"_s).toTime(), QTime(18, 0));
    EXPECT_EQ(value(u"select END_DATE from TBL_PROMOTIONS"_s).toDate(), QDate(2023, 3, 31));
    EXPECT_EQ(value(u"select END_TIME from TBL_PROMOTIONS"_s).toTime(), QTime(23, 59, 59));
    EXPECT_EQ(value(u"select DESCRIPTION from TBL_PROMOTIONS"_s).toString(), u"Deal \u20AC2"_s);
    EXPECT_EQ(value(u"select PRICE from TBL_PROMO_PRODUCTS where SID = 1"_s).toDouble(), 2.5);
    EXPECT_EQ(value(u"select PRICE from TBL_PROMO_PRODUCTS where SID = 2"_s).toDouble(), 1.25);
    EXPECT_EQ(value(u"select sum(TRIGGER_QTY) from TBL_PROMO_TRIGGERS"_s).toInt(), 3);
}

TEST_F(ImportUpdatesTest, AByteOrderMarkChoosesTheEncoding) {
    const QString json = UpdateJson({}, u"Caf\u00e9 \u00c9ire \u20AC"_s);
    const auto encoded = [&](QStringConverter::Encoding encoding, bool bom) {
        QStringEncoder encoder(
            encoding, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
        return QByteArray(encoder.encode(json));
    };
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"utf8", encoded(QStringConverter::Utf8, false)},
                 {"utf8-bom", encoded(QStringConverter::Utf8, true)},
                 {"utf16le", encoded(QStringConverter::Utf16LE, true)},
                 {"utf16be", encoded(QStringConverter::Utf16BE, true)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportFileResult result = ImportUpdateFile(
            db_.kiosk(), folders_, drop(QString::fromLatin1(c.name) + u".json"_s, c.bytes));
        EXPECT_TRUE(result.applied) << result.reason.toStdString();
        EXPECT_EQ(site1(), u"Caf\u00e9 \u00c9ire \u20AC"_s);
        value(u"update TBL_SETUP set OUR_ADD1 = '' where SETUP_ID = 1"_s);
    }
}

// ---- Failures ----------------------------------------------------------------------------

// The site keys, then a products value nested a million levels deep.
QByteArray Nested(const QByteArray& open, const QByteArray& close) {
    constexpr int kLevels = 1'000'000;
    const QByteArray json = UpdateJson(u"\"products\": %1"_s).toUtf8();
    return json.left(json.indexOf("%1")) + open.repeated(kLevels) + '0' + close.repeated(kLevels) +
           json.mid(json.indexOf("%1") + 2);
}

// A whole file cut off in the middle of the string given.
QByteArray TruncatedIn(const char* string) {
    const QByteArray json = UpdateJson(kFullSections).toUtf8();
    return json.left(json.indexOf(string) + 4);
}

// A file that fails leaves the master data, the site and the pictures as they were, goes to
// Failed/, and leaves one log line naming the file and the reason.
TEST_F(ImportUpdatesTest, AFailingFileChangesNothing) {
    const QString manyProducts = ProductsSection(600);
    const QString promotion =
        uR"({"pid": %1, "dsc": "D", "vtp": 1, "beg": 45000, "end": 45001, "prc": 1, "val": 1,
             "dis": 0, "day": "YYYYYYY"})"_s;
    const struct {
        const char* name;
        QByteArray text;
        const char* reason;  // a part of the logged reason
    } cases[] = {
        {"no vatno", R"({"site1": "X", "site2": "", "phone": ""})", "key \"vatno\" is missing"},
        {"not json", "{\"site1\": ", "not valid JSON"},
        {"truncated in a string", TruncatedIn("Croissant"),
         "not valid JSON (Missing a closing quotation mark in string."},
        {"arrays a million deep", Nested("[", "]"), "deeper than the limit of 32 levels"},
        {"objects a million deep", Nested("{\"a\": ", "}"), "deeper than the limit of 32 levels"},
        {"not an object", "[1, 2]", "not a JSON object"},
        {"bad utf8", "{\"site1\": \"\xC3\x28\"}", "not valid JSON"},
        {"element not an object", UpdateJson(u"\"groups\": [1]"_s).toUtf8(),
         "groups element 1: the element is not a JSON object"},
        {"whole unreadable",
         UpdateJson(u"\"users\": [{\"uid\": \"abc\", \"log\": \"\", \"pas\": \"\", \"dob\": 1, "
                    "\"acc\": \"\"}]"_s)
             .toUtf8(),
         "users element 1 (uid abc): key \"uid\" is not a whole number"},
        {"letters in a barcode",
         UpdateJson(u"\"products\": [{\"sid\": 1, \"sku\": 1, \"dsc\": \"P\", \"did\": 1, "
                    "\"rte\": 0, \"sp\": 1, \"barcodes\": [{\"bar\": \"12A4\"}]}]"_s)
             .toUtf8(),
         "products element 1 (sid 1), barcode \"12A4\": a barcode is 1 to 18 digits"},
        {"19-digit barcode",
         UpdateJson(u"\"products\": [{\"sid\": 1, \"sku\": 1, \"dsc\": \"P\", \"did\": 1, "
                    "\"rte\": 0, \"sp\": 1, \"barcodes\": [{\"bar\": 1234567890123456789}]}]"_s)
             .toUtf8(),
         "barcode \"1234567890123456789\": "},
        {"price code not an in-store prefix",
         UpdateJson(uR"("price_codes": [{"pfx": "30", "typ": "P", "vck": false}])"_s).toUtf8(),
         "price_codes element 1 (pfx 30): key \"pfx\" is not an in-store prefix"},
        {"price code of one digit",
         UpdateJson(uR"("price_codes": [{"pfx": "2", "typ": "P", "vck": false}])"_s).toUtf8(),
         "price_codes element 1 (pfx 2): key \"pfx\" is not an in-store prefix"},
        {"price code of another type",
         UpdateJson(uR"("price_codes": [{"pfx": "23", "typ": "K", "vck": false}])"_s).toUtf8(),
         "price_codes element 1 (pfx 23): key \"typ\" is not \"P\" or \"W\""},
        {"price code without its verifier flag",
         UpdateJson(uR"("price_codes": [{"pfx": "23", "typ": "W"}])"_s).toUtf8(),
         "price_codes element 1 (pfx 23): key \"vck\" is missing"},
        {"price code verifier flag as text",
         UpdateJson(uR"("price_codes": [{"pfx": "23", "typ": "W", "vck": "yes"}])"_s).toUtf8(),
         "price_codes element 1 (pfx 23): key \"vck\" is not true or false"},
        {"price code named twice",
         UpdateJson(uR"("price_codes": [{"pfx": "23", "typ": "W", "vck": false},
                                        {"pfx": "23", "typ": "P", "vck": true}])"_s)
             .toUtf8(),
         "price_codes element 2 (pfx 23): the prefix 23 is named twice"},
        {"recall of a GTIN with a wrong check digit",
         UpdateJson(uR"("recalls": [{"gtn": "5391234005002", "beg": 45000, "dsc": "R"}])"_s)
             .toUtf8(),
         "recalls element 1 (gtn 5391234005002): key \"gtn\" is not a GTIN with its check digit"},
        {"recall without its first day",
         UpdateJson(uR"("recalls": [{"gtn": "5391234005004", "dsc": "R"}])"_s).toUtf8(),
         "recalls element 1 (gtn 5391234005004): key \"beg\" is missing"},
        {"recall of plain codes as text",
         UpdateJson(uR"("recalls": [{"gtn": "5391234005004", "beg": 45000, "dsc": "R",
                                     "pln": "yes"}])"_s)
             .toUtf8(),
         "recalls element 1 (gtn 5391234005004): key \"pln\" is not true or false"},
        {"recall of a batch longer than a code carries",
         UpdateJson(uR"("recalls": [{"gtn": "5391234005004", "beg": 45000, "dsc": "R",
                                     "bat": "L123456789012345678901"}])"_s)
             .toUtf8(),
         "recalls element 1 (gtn 5391234005004): key \"bat\" is longer than 20 characters"},
        {"bad recall after a good one",
         UpdateJson(uR"("recalls": [{"gtn": "5391234005004", "beg": 45000, "dsc": "R"},
                                    {"gtn": "53912340", "beg": 45000, "dsc": "R"}])"_s)
             .toUtf8(),
         "recalls element 2 (gtn 53912340): key \"gtn\" is not a GTIN"},
        {"last element unreadable",
         UpdateJson(manyProducts + u", \"promotions\": ["_s + promotion.arg(1) +
                    u", {\"pid\": 2}]"_s)
             .toUtf8(),
         "promotions element 2 (pid 2): key \"dsc\" is missing"},
        {"last element refused",
         UpdateJson(manyProducts + u", \"promotions\": ["_s + promotion.arg(1) + u", "_s +
                    promotion.arg(1) + u']')
             .toUtf8(),
         "promotions element 2 (pid 1): violation of PRIMARY or UNIQUE KEY constraint"},
    };
    givenAnAppliedShop();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name).replace(u' ', u'_') + u".json"_s;
        expectRefusedWithNothingChanged(drop(name, c.text), QString::fromUtf8(c.reason));
    }
}

TEST_F(ImportUpdatesTest, AFileAboveTheSizeLimitIsRefusedUnread) {
    givenAnAppliedShop();
    const QString file = drop(u"huge.json"_s, UpdateJson());
    // One byte over 128 MiB (134,217,728 bytes); sparse, so it takes no disk.
    ASSERT_TRUE(QFile::resize(file, 134217729));
    expectRefusedWithNothingChanged(file, u"larger than the limit of 128 MiB"_s);
}

// A file that cannot reach its archive folder must not stay waiting as *.json: an applied one
// would be applied again by every pass, emptying the pictures its first pass brought.
TEST_F(ImportUpdatesTest, AFileThatCannotBeArchivedIsRenamedAside) {
    const struct {
        const char* archive;
        QString json;
        bool applied;
    } cases[] = {{"Processed", UpdateJson(), true}, {"Failed", u"[]"_s, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        const QString archive = QString::fromLatin1(c.archive);
        QFile(folders_.importFolder + archive).open(QIODevice::WriteOnly);  // not a folder
        const QString file = drop(u"update.json"_s, c.json);
        const LogReader log;

        EXPECT_EQ(pass().anyApplied(), c.applied);

        EXPECT_TRUE(QFile::exists(file + u'.' + archive.toLower()));
        EXPECT_FALSE(QFile::exists(file));
        ASSERT_EQ(log.newLines().size(), 1);
        EXPECT_TRUE(log.newLines()[0].contains(u"renamed"_s));
        QFile(folders_.resFolder + u"key.png"_s).open(QIODevice::WriteOnly);
        EXPECT_TRUE(pass().applied.isEmpty());
        EXPECT_TRUE(QFile::exists(folders_.resFolder + u"key.png"_s));
    }
}

// ---- Interrupted imports -----------------------------------------------------------------

TEST_F(ImportUpdatesTest, AFileInterruptedOnceIsAppliedAtTheNextStart) {
    givenAnAppliedShop();
    const QString file = drop(u"big.json"_s, UpdateJson(ProductsSection(600), u"After"_s));
    interruptedPasses(1);
    EXPECT_EQ(attemptMarks(), QStringList{u"big.json.attempts"_s});
    EXPECT_EQ(site1(), u"Before"_s);
    EXPECT_EQ(count(u"TBL_PRODUCTS"_s), 1);  // the killed import's rows were never committed

    const ImportPassResult result = pass();

    EXPECT_EQ(result.applied, QStringList{file});
    EXPECT_EQ(site1(), u"After"_s);
    EXPECT_EQ(count(u"TBL_PRODUCTS"_s), 600);
    EXPECT_EQ(attemptMarks(), QStringList());
}

// Whatever ends the kiosk while it applies a file, the file cannot do so at every start.
TEST_F(ImportUpdatesTest, AFileInterruptedTwiceInARowIsRefusedAtTheNextStart) {
    givenAnAppliedShop();
    const QString file = drop(u"big.json"_s, UpdateJson(ProductsSection(600), u"After"_s));
    interruptedPasses(2);
    expectRefusedWithNothingChanged(file, u"interrupted 2 times in a row"_s);
}

// Events pumped during an import may reach a handler that starts another import; it must not
// run inside the first one's transaction.
TEST_F(ImportUpdatesTest, APassStartedDuringAPassDoesNothing) {
    const QString file = drop(u"big.json"_s, UpdateJson(ProductsSection(600)));
    int nested = 0;
    int calls = 0;
    ImportView view;
    view.keepAlive = [&] {
        ++calls;
        EXPECT_TRUE(db_.kiosk().inTransaction());
        const ImportPassResult inner = pass();
        nested += int(inner.applied.size() + inner.failed.size());
    };

    const ImportPassResult result = pass(view);

    EXPECT_EQ(result.applied, QStringList{file});
    EXPECT_GT(calls, 0) << "the import never called its keepAlive, so no inner pass was tried";
    EXPECT_EQ(nested, 0);
    EXPECT_FALSE(db_.kiosk().inTransaction());
    EXPECT_EQ(count(u"TBL_PRODUCTS"_s), 600);
}

// ---- Product codes --------------------------------------------------------------------

// A mistyped code is stored as it stands (the shop may know the product by it) and logged.
TEST_F(ImportUpdatesTest, BarcodesWithAWrongCheckDigitAreLoggedAndStored) {
    const LogReader log;
    apply(
        UpdateJson(uR"("products": [{"sid": 1, "sku": 1, "dsc": "P", "did": 1, "rte": 0,
        "sp": 1, "barcodes": [{"bar": "5012345678900"}, {"bar": "5012345678901"},
                              {"bar": "036000291452"}, {"bar": "036000291453"},
                              {"bar": "04252614"}, {"bar": "96385074"}, {"bar": "96385075"},
                              {"bar": "10012345678902"}, {"bar": "10012345678903"},
                              {"bar": "1234"}, {"bar": "888000011"}]}])"_s));
    EXPECT_EQ(count(u"TBL_BARCODES"_s), 11);
    const QStringList logged = log.newLines().filter(u"check digit"_s);
    QStringList codes;
    for (const QString& line : logged) codes << line.section(u'"', 1, 1);
    EXPECT_EQ(codes, QStringList({u"5012345678901"_s, u"036000291453"_s, u"96385075"_s,
                                  u"10012345678903"_s}));
    ASSERT_FALSE(logged.isEmpty());
    EXPECT_TRUE(logged[0].contains(u"products element 1 (sid 1)"_s)) << logged[0].toStdString();
}

TEST_F(ImportUpdatesTest, PriceCodesAreStoredAsTheBackOfficeNamesThem) {
    apply(
        UpdateJson(uR"("price_codes": [{"pfx": "22", "typ": "P", "vck": false},
                                          {"pfx": "23", "typ": "W", "vck": false},
                                          {"pfx": "29", "typ": "P", "vck": true}])"_s));
    EXPECT_EQ(value(u"select list(T, ' ') from (select PFX || TYP || VCK as T"
                    " from TBL_PRICE_CODES order by PFX)"_s)
                  .toString(),
              u"22PN 23WN 29PY"_s);
}

// A recall names its GTIN in any of the GTIN lengths and is stored as the 14 digits a scan's
// GTIN is compared with; batch, serials and plain codes are optional.
TEST_F(ImportUpdatesTest, RecallsAreStoredByTheirFourteenDigitGtin) {
    apply(
        UpdateJson(uR"("recalls": [
        {"gtn": "09501101020917", "bat": "LOT7", "beg": 45000.75, "dsc": "Listeria \u20AC"},
        {"gtn": "96385074", "srf": "100", "srt": "199", "beg": 45001, "dsc": "Seal", "pln": true},
        {"gtn": "042100005264", "bat": "", "beg": 45002, "dsc": "Label"}])"_s));
    EXPECT_EQ(value(u"select list(T, ' | ') from (select GTIN || ',' || coalesce(BATCH, '-') ||"
                    " ',' || coalesce(SERIAL_FROM, '-') || '-' || coalesce(SERIAL_TO, '-') || ','"
                    " || FROM_DATE || ',' || DESCRIPTION || ',' || PLAIN_CODES as T"
                    " from TBL_RECALLS order by GTIN)"_s)
                  .toString(),
              u"00000096385074,-,100-199,2023-03-16,Seal,Y | "
              "00042100005264,-,---,2023-03-17,Label,N | "
              "09501101020917,LOT7,---,2023-03-15,Listeria \u20AC,N"_s);
}

}  // namespace

#include "backoffice/uEngineer.h"

#include <QLocale>
#include <algorithm>
#include <stdexcept>

#include "app/uGlobals.h"
#include "app/uText.h"
#include "db/fbError.h"
#include "payment/uTestMode.h"

TEngineerSettings LoadEngineerSettings(fb::Connection& conx, const TRunTimeSettings& runTime,
                                       int brandingColour) {
    TEngineerSettings settings;
    fb::Query q(conx);
    q.setSQL(QStringLiteral("select * from TBL_SETUP"));
    q.open();
    if (!q.eof()) {
        settings.sterling = q.field("CURRENCY_TYPE").toInt() != 0;
        settings.hasTopups =
            q.field("HAS_TOPUPS").toString().trimmed().toUpper() == QLatin1String("Y");
        settings.debug = q.field("DEBUG").toString();
        if (!q.field("DAY_END").isNull()) settings.dayEnd = q.field("DAY_END").toTime();
        settings.keepSalesDays = q.field("KEEP_SALES_DAYS").toString();
        settings.sagePayReports = q.field("SAGEPAY_REPORTS").toString();
        settings.printerName = q.field("PRINTER_NAME").toString();
        settings.gs1Separator = q.field("GS1_SEPARATOR").toString();
        settings.stopBestBefore =
            q.field("STOP_BEST_BEFORE").toString().trimmed().toUpper() == QLatin1String("Y");
    }
    settings.brandingColour = brandingColour;
    settings.printerSpec = runTime.PrinterModel + QStringLiteral(" : ") + runTime.PrinterPort;
    settings.displayPort = runTime.DisplayPort;
    settings.displayType = runTime.DisplayType;
    settings.displayChars = IntText(runTime.DisplayChars);
    return settings;
}

void SplitPrinterSpec(const QString& text, QString& model, QString& port) {
    if (text.isEmpty()) {
        model = QStringLiteral("TMT88");
        port = QStringLiteral("RS232");
        return;
    }
    // By position, as "model : port" is written: the blank on each side of the colon goes.
    const qsizetype colon = text.indexOf(u':');  // -1 when there is none
    model = text.left(std::max<qsizetype>(colon - 1, 0));
    port = text.mid(colon + 2);
}

fb::Value IntegerFieldValue(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return {};
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    if (!ok) throw fb::Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return number;
}

namespace {

// The days sales are kept: a negative period would put the purge's cut-off in the future.
fb::Value KeepPeriodValue(const QString& text) {
    const fb::Value days = IntegerFieldValue(text);
    if (!days.isNull() && (days.toInt() < 0 || days.toInt() > kMaxKeepSalesDays))
        throw std::invalid_argument(
            QStringLiteral("'%1' is not a valid keep period: it must be from 0 to %2 days")
                .arg(text.trimmed(), QLocale(QLocale::English).toString(kMaxKeepSalesDays))
                .toStdString());
    return days;
}

QString Gs1SeparatorValue(const QString& text) {
    const bool unfit =
        text.size() > kMaxGs1SeparatorLength ||
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() || c.isSpace(); });
    if (unfit)
        throw std::invalid_argument(
            QStringLiteral("'%1' cannot stand for the GS1 separator: it must be up to %2 "
                           "characters, without digits or blanks")
                .arg(text)
                .arg(kMaxGs1SeparatorLength)
                .toStdString());
    return text;
}

}  // namespace

void SaveEngineerSettings(Tdm& dm, const TEngineerSettings& settings) {
    const fb::Value debug = IntegerFieldValue(settings.debug);
    const fb::Value keepSalesDays = KeepPeriodValue(settings.keepSalesDays);
    const int displayChars = IntegerFieldValue(settings.displayChars).toInt();
    const QString gs1Separator = Gs1SeparatorValue(settings.gs1Separator);

    const int storedDebug = StoredDebugLevel(dm.conx);
    const bool startsTestMode = StartsTestMode(storedDebug, debug.toInt());
    if (startsTestMode) KeepTestModeReturnLevel(storedDebug);

    BrandingColour = settings.brandingColour;
    SplitPrinterSpec(settings.printerSpec, dm.RunTime.PrinterModel, dm.RunTime.PrinterPort);
    dm.RunTime.DisplayPort = settings.displayPort;
    dm.RunTime.DisplayType = settings.displayType;
    dm.RunTime.DisplayChars = displayChars;
    dm.WriteSystemInfo();

    fb::Query q(dm.conx);
    q.setSQL(QStringLiteral(
        "update TBL_SETUP set CURRENCY_TYPE = :CT, BRANDING_COLOUR = :BC, HAS_TOPUPS = :HT,\r\n"
        "  DEBUG = :DB, DAY_END = :DE, KEEP_SALES_DAYS = :KD, SAGEPAY_REPORTS = :SR,\r\n"
        "  PRINTER_NAME = :PN, GS1_SEPARATOR = :GS, STOP_BEST_BEFORE = :BB"));
    q.bind(QStringLiteral("CT"), settings.sterling ? 1 : 0);
    q.bind(QStringLiteral("BC"), settings.brandingColour);
    q.bind(QStringLiteral("HT"), settings.hasTopups ? QStringLiteral("Y") : QStringLiteral("N"));
    q.bind(QStringLiteral("DB"), debug);
    q.bind(QStringLiteral("DE"), settings.dayEnd);
    q.bind(QStringLiteral("KD"), keepSalesDays);
    q.bind(QStringLiteral("SR"), settings.sagePayReports);
    q.bind(QStringLiteral("PN"), settings.printerName);
    q.bind(QStringLiteral("GS"), gs1Separator);
    q.bind(QStringLiteral("BB"),
           settings.stopBestBefore ? QStringLiteral("Y") : QStringLiteral("N"));
    q.execSQL();
    if (startsTestMode)
        LogTestModeStarted(storedDebug, debug.toInt(), dm.EngineerCodes.engineerCodeName());
}

bool SavingStartsTestMode(fb::Connection& conx, const TEngineerSettings& settings) {
    bool whole = false;
    const int level = settings.debug.trimmed().toInt(&whole);
    return whole && StartsTestMode(StoredDebugLevel(conx), level);
}

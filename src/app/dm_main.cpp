#include "app/dm_main.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "app/uDbUtils.h"
#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uOperators.h"
#include "app/uStartFailure.h"
#include "app/uTX32Reg.h"
#include "app/uText.h"

Tdm* dm = nullptr;

const QString Tdm::kUserName = QStringLiteral("SYSDBA");
const QString Tdm::kPassword = QStringLiteral("pinecrest");

namespace {

const QString kKioskDatabase = QStringLiteral("KPSelfServ.gdb");
const QString kAdminDatabase = QStringLiteral("KPAdmin.gdb");

qint64 readInstalledVersion(const QString& file) {
    const QSettings ini(file, QSettings::IniFormat);
    return TextToInt(
        ini.value(QStringLiteral("Setup/InstalledVersion"), QStringLiteral("1")).toString(), 0);
}

}  // namespace

QString InstalledVersionText(qint64 installedVersion) {
    const QString digits = PadLeft(IntText(installedVersion), 6, QChar(u'0'), false);
    return digits.mid(0, 2) + u'.' + digits.mid(2, 2) + u'.' + digits.mid(4, 2);
}

QString SplashVersionLine(qint64 installedVersion, qint64 dbVersion) {
    return QStringLiteral("version: %1, DB version: %2")
        .arg(InstalledVersionText(installedVersion),
             PadLeft(IntText(dbVersion), 4, QChar(u'0'), false));
}

QString AdminDatabasePath(const QString& kioskDatabase) {
    const QString fileName = QFileInfo(kioskDatabase).fileName();
    QString path = kioskDatabase;
    const qsizetype at = path.indexOf(fileName, 0, Qt::CaseInsensitive);
    if (!fileName.isEmpty() && at >= 0) path.replace(at, fileName.size(), kAdminDatabase);
    return path;
}

Tdm::Tdm(const QString& programPath, TdmView view)
    : programPath_(programPath), view_(std::move(view)) {
    conx.beforeConnect = [this] { conxBeforeConnect(); };
    conxA.setUserName(QStringLiteral("sysdba"));
    conxA.setPassword(kPassword);
    DataModuleCreate();
    ReadSystemInfo();
}

Tdm::~Tdm() {
    DataModuleDestroy();
}

QString Tdm::installedVersionFile() const {
    const QFileInfo program(programPath_);
    return program.absolutePath() + u'/' + program.completeBaseName() + QStringLiteral(".dat");
}

void Tdm::DataModuleCreate() {
    AppFolder = IncludeSlash(QFileInfo(programPath_).absolutePath(), false);
    DataFolder = AppFolder + QStringLiteral("data/");
    ResFolder = IncludeSlash(DataFolder + QStringLiteral("Res/"), true);
    EngineerCodes = TEngineerCodes::ofDataFolder(DataFolder);
    try {
        conx.disconnect();
        conx.setDatabase(DataFolder + kKioskDatabase);
        conx.setUserName(kUserName);
        conx.setPassword(kPassword);
        conx.connect();
        const qint64 installed = readInstalledVersion(installedVersionFile());
        q1.setSQL(QStringLiteral("select * from TBL_SETUP"));
        q1.open();
        const qint64 dbVersion = q1.eof() ? 0 : q1.field(QStringLiteral("DB_VERSION")).toInt();
        q1.close();
        if (view_.showSplashStatus) view_.showSplashStatus(SplashVersionLine(installed, dbVersion));
    } catch (const std::exception& e) {
        failStart(StartFailureReason(
            QStringLiteral("the kiosk database %1 cannot be opened").arg(conx.database()), e));
        // As with any handler's error: shown, and creation ends here.
        if (view_.showError) view_.showError(QString::fromUtf8(e.what()));
    }
}

void Tdm::failStart(const QString& reason) const {
    if (view_.startFailed) view_.startFailed(reason);
}

void Tdm::conxBeforeConnect() {
    conxA.disconnect();
    conxA.setDatabase(AdminDatabasePath(conx.database()));
}

int Tdm::DBChecks() {
    int result = 0;
    WriteLog(QStringLiteral("SQL Updates start"), 1);
    QString step = QStringLiteral("the back-office database %1 cannot be opened");
    try {
        step = step.arg(AdminDatabasePath(conx.database()));
        conxA.connect();
        step = QStringLiteral("the schema version cannot be read");
        const int current =
            int(TextToInt(SelectValue(q1, QStringLiteral("TBL_SETUP"), QStringLiteral("SETUP_ID"),
                                      QStringLiteral("DB_VERSION"), 1),
                          0));
        qA.close();
        qA.setSQL(
            QStringLiteral("select * from TBL_SQLUPDATES where DB_VERSION > :VERSION and PRIORITY "
                           "> 0 order by DB_VERSION"));
        qA.bind(QStringLiteral("VERSION"), current);
        qA.open();
        qA.last();
        const int count = qA.recordCount();
        const int latest = count > 0 ? qA.field(QStringLiteral("DB_VERSION")).toInt() : 0;
        qA.close();
        if (count <= 0)
            result = 1;
        else if (view_.runSchemaUpdates && view_.runSchemaUpdates(current, latest, count))
            result = 1;
        else
            failStart(QStringLiteral("Cannot start: the schema update from version %1 to %2 "
                                     "was not applied (closed, or a script failed)")
                          .arg(current)
                          .arg(latest));
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Login: ") + QString::fromUtf8(e.what()), 0);
        failStart(StartFailureReason(step, e));
    }
    WriteLog(QStringLiteral("SQL Updates  end"), 1);
    return result;
}

void Tdm::WriteSystemInfo() {
    try {
        const TTX32Reg reg;
        const QString& section = RunTimeSettingsSection;
        reg.WriteString(section, QStringLiteral("PrinterModel"), rmText, RunTime.PrinterModel);
        reg.WriteString(section, QStringLiteral("PrinterPort"), rmText, RunTime.PrinterPort);
        reg.WriteString(section, QStringLiteral("DisplayPort"), rmText, RunTime.DisplayPort);
        reg.WriteString(section, QStringLiteral("DisplayType"), rmText, RunTime.DisplayType);
        reg.WriteInteger(section, QStringLiteral("DisplayChars"), RunTime.DisplayChars);
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Saving system info: ") + QString::fromUtf8(e.what()), 0);
        const auto& show = view_.showKioskError ? view_.showKioskError : view_.showError;
        if (show) show(QStringLiteral("Error Saving System Info"));
    }
}

void Tdm::ReadSystemInfo() {
    try {
        const TTX32Reg reg;
        const QString& section = RunTimeSettingsSection;
        const auto text = [&](const char* name) {
            return reg.ReadString(section, QString::fromLatin1(name), rmText, {});
        };
        RunTime.PrinterModel = text("PrinterModel");
        RunTime.PrinterPort = text("PrinterPort");
        RunTime.DisplayPort = text("DisplayPort");
        RunTime.DisplayType = text("DisplayType");
        RunTime.DisplayChars = reg.ReadInteger(section, QStringLiteral("DisplayChars"), 0);
    } catch (const std::exception& e) {
        RunTime = {};
        WriteLog(QStringLiteral("Reading system info: ") + QString::fromUtf8(e.what()), 0);
    }
}

void Tdm::DataModuleDestroy() {
    try {
        conx.disconnect();
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Disconnect: ") + QString::fromUtf8(e.what()), 0);
    }
}

int Tdm::BarcodeToUser(const QString& code, QString& access) {
    return ::BarcodeToUser(q1, EngineerCodes, code, access);
}

#pragma once

#include <QString>
#include <functional>

#include "app/uEngineerCodes.h"
#include "db/fbConnection.h"
#include "db/fbQuery.h"

// What the data module asks of the screens: it never shows anything itself.
struct TdmView {
    // Shows the version line on the splash (and waits there).
    std::function<void(const QString&)> showSplashStatus;
    // Shows an error in the standard error box.
    std::function<void(const QString&)> showError;
    // Offers the schema updates (current version, latest version, number of updates);
    // true when they ran and the operator pressed Continue.
    std::function<bool(int, int, int)> runSchemaUpdates;
    // Shows an error in the kiosk's own message box; showError when not given.
    std::function<void(const QString&)> showKioskError = {};
    // Told the one-line reason why the kiosk cannot start, before anything is shown of it.
    std::function<void(const QString&)> startFailed = {};
};

// The receipt printer and customer display as the engineer page sets them. They are kept in the
// settings store (section RunTimeSettingsSection) and read back when the data module is created.
struct TRunTimeSettings {
    QString PrinterModel;
    QString PrinterPort;
    QString DisplayPort;
    QString DisplayType;
    int DisplayChars = 0;
};

inline const QString RunTimeSettingsSection = QStringLiteral("KPSelfServ");

// The one data module: the folders, both database connections and the shared queries.
// Queries are declared after their connections, so they are gone before the attachments.
class Tdm {
public:
    // programPath: the program file; its folder is AppFolder.
    Tdm(const QString& programPath, TdmView view);
    ~Tdm();
    Tdm(const Tdm&) = delete;
    Tdm& operator=(const Tdm&) = delete;

    QString AppFolder;   // folder of the program file, ending in "/"
    QString DataFolder;  // AppFolder + "data/"
    QString ResFolder;   // DataFolder + "Res/"

    fb::Connection conx;
    fb::Connection conxA;
    // The data module's own queries: the core units take queries of their own.
    fb::Query q1{conx};
    fb::Query qA{conxA};

    TRunTimeSettings RunTime;
    // The engineer codes this kiosk accepts: its own (DataFolder's codes file) or the built-in.
    TEngineerCodes EngineerCodes;

    void DataModuleCreate();
    void conxBeforeConnect();
    int DBChecks();
    // Stores the run-time settings; a failure rolls the connection back and shows
    // "Error Saving System Info".
    void WriteSystemInfo();
    // Reads the run-time settings back; a failure leaves them empty and is logged.
    void ReadSystemInfo();
    void DataModuleDestroy();
    // The operator a scanned code names: a USER_ID, -1 or -2 for the engineer codes the kiosk
    // accepts, 0 for none.
    int BarcodeToUser(const QString& code, QString& access);

    // The installed-version file beside the program.
    QString installedVersionFile() const;

    static const QString kUserName;
    static const QString kPassword;

private:
    void failStart(const QString& reason) const;

    QString programPath_;
    TdmView view_;
};

// The application's data module, set while the program runs.
extern Tdm* dm;

// "InstalledVersion" 20304 reads as "02.03.04"; padded to six digits, never cut.
QString InstalledVersionText(qint64 installedVersion);
// "version: 00.00.01, DB version: 0002".
QString SplashVersionLine(qint64 installedVersion, qint64 dbVersion);
// The path of the database file beside the kiosk database, as conxBeforeConnect derives it.
QString AdminDatabasePath(const QString& kioskDatabase);

#pragma once

#include "backoffice/uImportUpdates.h"
#include "ui/fm_baseDialog.h"

class QLabel;
class TActivityIndicator;

// The "please wait" window shown while update files are applied. It has no buttons: it goes
// when the files are done.
class TfmImportUpdates : public TfmBaseDialog {
    Q_OBJECT
public:
    explicit TfmImportUpdates(QWidget* parent = nullptr);

    QLabel* lbPleaseWait = nullptr;
    TActivityIndicator* ActivityIndicator1 = nullptr;
};

// Applies the waiting update files and pictures of the import folder, showing TfmImportUpdates
// while files are applied and pumping events every few hundred rows so it stays alive. The
// main screen takes no input meanwhile. True when an update file was applied, so the caller
// reloads the site details.
bool ImportUpdates(fb::Connection& conx, const ImportFolders& folders, QWidget* mainScreen);

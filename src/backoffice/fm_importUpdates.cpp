#include "backoffice/fm_importUpdates.h"

#include <QLabel>
#include <memory>
#include <optional>

#include "ui/wg_ActivityIndicator.h"
#include "ui/wg_BusyScope.h"
#include "ui/wg_Fonts.h"

namespace {

constexpr int kIndicatorSize = 96;

}  // namespace

TfmImportUpdates::TfmImportUpdates(QWidget* parent) : TfmBaseDialog(parent) {
    setObjectName(QStringLiteral("fmImportUpdates"));
    setHeaderCaption(QStringLiteral("System Update"));
    QWidget* client = clientArea();
    const int width = ClientSize.width();

    lbPleaseWait = new QLabel(QStringLiteral("Please Wait..."), client);
    lbPleaseWait->setObjectName(QStringLiteral("lbPleaseWait"));
    lbPleaseWait->setAlignment(Qt::AlignCenter);
    lbPleaseWait->setFont(KioskFont(KioskFace::Tahoma, 21));
    lbPleaseWait->setGeometry(0, HeaderHeight + 90, width, 40);

    ActivityIndicator1 = new TActivityIndicator(client);
    ActivityIndicator1->setObjectName(QStringLiteral("ActivityIndicator1"));
    ActivityIndicator1->setGeometry((width - kIndicatorSize) / 2, HeaderHeight + 160,
                                    kIndicatorSize, kIndicatorSize);
    ActivityIndicator1->setAnimate(true);
}

bool ImportUpdates(fb::Connection& conx, const ImportFolders& folders, QWidget* mainScreen) {
    // The main screen takes no input while files are applied; it has the keyboard focus back
    // afterwards, so the next scan goes to its scan buffer.
    std::optional<TBusyScope> busy;
    std::unique_ptr<TfmImportUpdates> window;
    ImportView view;
    view.keepAlive = TBusyScope::keepAlive;
    view.filesStarting = [&] {
        busy.emplace(mainScreen);
        // Not a child of the main screen, which is disabled meanwhile.
        window = std::make_unique<TfmImportUpdates>();
        window->show();
        window->raise();
        TBusyScope::keepAlive();
    };
    view.filesDone = [&] {
        window.reset();
        busy.reset();
    };
    return ImportUpdatesPass(conx, folders, view).anyApplied();
}

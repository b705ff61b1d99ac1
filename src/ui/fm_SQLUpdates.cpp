#include "ui/fm_SQLUpdates.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

#include "app/dm_main.h"
#include "app/uSQLUpdates.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_BusyScope.h"
#include "ui/wg_Fonts.h"

namespace {

const char* const kInstructions =
    "1.  Make sure there are no other active connections to the database\n\n"
    "2.  Click Proceed to apply all pending updates OR click on Close to shut down the system "
    "(This update will have to be done at a later time)";

QPushButton* footerButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    button->setFocusPolicy(Qt::NoFocus);  // the scan buffer keeps the keyboard
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TfmSQLUpdates::TfmSQLUpdates(Tdm& dm, QWidget* parent) : TfmBaseDialog(parent), fDm(dm) {
    setObjectName(QStringLiteral("fmSQLUpdates"));
    setWindowFlag(Qt::FramelessWindowHint);
    setHeaderCaption(QStringLiteral("Database Updates"));
    QWidget* client = clientArea();

    LMDLabel1 = new QLabel(QString::fromLatin1(kInstructions), client);
    LMDLabel1->setObjectName(QStringLiteral("LMDLabel1"));
    LMDLabel1->setGeometry(12, 83, 327, 105);
    LMDLabel1->setWordWrap(true);
    LMDLabel1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LMDLabel1->setFont(KioskFont(KioskFace::Tahoma, 13));

    lbStatus = new QLabel(client);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setGeometry(0, 270, ClientSize.width(), 21);
    lbStatus->setAlignment(Qt::AlignCenter);
    lbStatus->setFont(KioskFont(KioskFace::SegoeUI, 16, true));

    pbProgress = new QProgressBar(client);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setGeometry(24, 312, 307, 24);
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    pbProgress->setTextVisible(false);

    pnl_footer = new QWidget(client);
    pnl_footer->setObjectName(QStringLiteral("pnl_footer"));
    pnl_footer->setGeometry(0, ClientSize.height() - 77, ClientSize.width(), 77);
    cmProceed = footerButton(QStringLiteral("Proceed"), "cmProceed", pnl_footer);
    cmProceed->setGeometry(16, 0, 129, 61);
    cmCancel = footerButton(QStringLiteral("Close"), "cmCancel", pnl_footer);
    cmCancel->setGeometry(ClientSize.width() - 16 - 129, 0, 129, 61);
    cmCancel->setProperty("tag", 0);

    connect(cmProceed, &QPushButton::clicked, this, &TfmSQLUpdates::cmProceedClick);
    connect(cmCancel, &QPushButton::clicked, this, &TfmSQLUpdates::cmCancelClick);
    FormCreate();
}

void TfmSQLUpdates::FormCreate() {
    fUpdateCount = 0;
}

void TfmSQLUpdates::SetVersion(int current, int latest, int count) {
    fCurrentVer = current;
    fLatestVer = latest;
    fUpdateCount = count;
    lbStatus->setText(QStringLiteral("Status: %1 Update(s) required (#%2 to #%3)")
                          .arg(count)
                          .arg(current + 1)
                          .arg(latest));
    raise();
    activateWindow();
}

void TfmSQLUpdates::cmCancelClick() {
    done(cmCancel->property("tag").toInt() == 1 ? QDialog::Accepted : 2);
}

void TfmSQLUpdates::repaintNow() {
    repaint();
    TBusyScope::keepAlive();
}

void TfmSQLUpdates::cmProceedClick() {
    if (KioskDatabaseInUse(fDm.conx)) {
        ShowError(QStringLiteral(
            "The database is still in use by another process. Shut down any Kelvo Office "
            "related programs and processes and try again."));
        return;
    }
    cmProceed->hide();
    cmCancel->setEnabled(false);
    lbStatus->show();
    pbProgress->show();
    TSQLUpdatesView view;
    view.setProgress = [this](int percent) { pbProgress->setValue(std::min(percent, 100)); };
    view.setStatus = [this](const QString& text) {
        lbStatus->setText(text);
        repaintNow();
    };
    // Whether the updates end or fail (the application's error box shows why), the box can
    // be closed again.
    const auto ready = qScopeGuard([this] {
        pbProgress->hide();
        cmCancel->setEnabled(true);
    });
    RunSQLUpdates(fDm.conx, fDm.conxA, fDm.qA, fCurrentVer, fUpdateCount, view);
    cmCancel->setText(QStringLiteral("Continue"));
    cmCancel->setProperty("tag", 1);
}

#include "payment/fm_paymentDoubts.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/uClock.h"
#include "app/uLog.h"
#include "db/fbQuery.h"
#include "payment/uPaymentDoubts.h"
#include "payment/uSettlement.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_Window.h"

namespace {

const QString ScanCardText = QStringLiteral("Scan a manager's card to decide.");

QPushButton* Key(const QString& name, const QString& caption, QWidget* parent) {
    auto* key = new QPushButton(caption, parent);
    key->setObjectName(name);
    key->setFont(KioskFont(KioskFace::Tahoma, 14));
    key->setMinimumHeight(48);
    key->setFocusPolicy(Qt::NoFocus);
    return key;
}

}  // namespace

TfmPaymentDoubts::TfmPaymentDoubts(fb::Connection& conx, std::function<void()> askTerminal,
                                   int salesId, QWidget* parent)
    : TfmBaseDialog(parent), fConx(conx), fAskTerminal(std::move(askTerminal)), fSalesId(salesId) {
    setObjectName(QStringLiteral("fmPaymentDoubts"));
    setFixedSize(DoubtsClientSize.grownBy({BorderWidth, BorderWidth, BorderWidth, BorderWidth}));
    clientArea()->resize(DoubtsClientSize);
    pnHeader->resize(DoubtsClientSize.width(), HeaderHeight);
    setHeaderCaption(QStringLiteral("Payments in Doubt"));

    auto* body = new QWidget(clientArea());
    body->setGeometry(12, HeaderHeight + 8, DoubtsClientSize.width() - 24,
                      DoubtsClientSize.height() - HeaderHeight - 16);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    lbStaff = new QLabel(ScanCardText, body);
    lbStaff->setObjectName(QStringLiteral("lbStaff"));
    lbStaff->setFont(KioskFont(KioskFace::Tahoma, 14));
    lbStaff->setWordWrap(true);
    lbDoubts = new QListWidget(body);
    lbDoubts->setObjectName(QStringLiteral("lbDoubts"));
    lbDoubts->setAccessibleName(QStringLiteral("Payments in doubt"));
    lbDoubts->setFont(KioskFont(KioskFace::Tahoma, 12));
    ebAuthCode = new QLineEdit(body);
    ebAuthCode->setObjectName(QStringLiteral("ebAuthCode"));
    ebAuthCode->setAccessibleName(QStringLiteral("Authorisation code from the card receipt"));
    ebAuthCode->setPlaceholderText(QStringLiteral("Authorisation code from the card receipt"));
    ebAuthCode->setMaxLength(40);
    cmAsk = Key(QStringLiteral("cmAsk"), QStringLiteral("Ask Terminal"), body);
    cmPaid = Key(QStringLiteral("cmPaid"), QStringLiteral("Paid"), body);
    cmNotPaid = Key(QStringLiteral("cmNotPaid"), QStringLiteral("Not Paid"), body);
    cmPutAside = Key(QStringLiteral("cmPutAside"), QStringLiteral("Next Customer"), body);
    auto* cmClose = Key(QStringLiteral("cmClose"), QStringLiteral("Close"), body);
    auto* keys = new QGridLayout;
    keys->addWidget(cmAsk, 0, 0);
    keys->addWidget(cmPaid, 0, 1);
    keys->addWidget(cmNotPaid, 0, 2);
    keys->addWidget(cmPutAside, 1, 0);
    keys->addWidget(cmClose, 1, 2);
    layout->addWidget(lbStaff);
    layout->addWidget(lbDoubts, 1);
    layout->addWidget(ebAuthCode);
    layout->addLayout(keys);
    cmPutAside->setVisible(salesId > 0);

    connect(cmEndScan, &QPushButton::clicked, this, [this] {
        const QString code = ebScanBuffer->text();
        ebScanBuffer->clear();
        takeStaffCard(code);
    });
    connect(cmAsk, &QPushButton::clicked, this, [this] {
        fAskTerminal();
        refresh();
    });
    connect(cmPaid, &QPushButton::clicked, this, [this] { decide(true); });
    connect(cmNotPaid, &QPushButton::clicked, this, [this] { decide(false); });
    connect(cmPutAside, &QPushButton::clicked, this, [this] {
        WriteLog(QStringLiteral("Sale %1 put aside in doubt by %2").arg(fSalesId).arg(fDecider), 0);
        fPutAside = true;
        accept();
    });
    connect(cmClose, &QPushButton::clicked, this, &QDialog::reject);
    refresh();
    CentreOnScreen(*this);
}

void TfmPaymentDoubts::refresh() {
    fDoubts = TPaymentJournal(fConx).unsettled(fSalesId);
    const QDateTime now = Clock::instance().now();
    const int row = std::max(0, lbDoubts->currentRow());
    lbDoubts->clear();
    for (const TPaymentAttempt& attempt : fDoubts) lbDoubts->addItem(DoubtRowText(attempt, now));
    if (!fDoubts.isEmpty()) lbDoubts->setCurrentRow(std::min(row, int(fDoubts.size()) - 1));
    const bool allowed = !fDecider.isEmpty() && !fDoubts.isEmpty();
    cmAsk->setEnabled(allowed);
    cmPaid->setEnabled(allowed);
    cmNotPaid->setEnabled(allowed);
    cmPutAside->setEnabled(!fDecider.isEmpty());
    // The sale on screen: nothing left in doubt ends the dialog.
    if (fSalesId > 0 && fDoubts.isEmpty()) accept();
}

void TfmPaymentDoubts::takeStaffCard(const QString& code) {
    if (code.isEmpty()) return;
    fb::Query q(fConx);
    const TDoubtDecider decider = DoubtDeciderOfCode(q, code);
    if (!decider.allowed) {
        lbStaff->setText(decider.refusal + QStringLiteral(". ") + ScanCardText);
        return;
    }
    fDecider = decider.name;
    lbStaff->setText(QStringLiteral("Deciding: %1").arg(fDecider));
    refresh();
}

const TPaymentAttempt* TfmPaymentDoubts::selected() const {
    const int row = lbDoubts->currentRow();
    return row >= 0 && row < fDoubts.size() ? &fDoubts.at(row) : nullptr;
}

void TfmPaymentDoubts::decide(bool paid) {
    const TPaymentAttempt* attempt = selected();
    if (!attempt || fDecider.isEmpty()) return;
    const QString code = ebAuthCode->text().trimmed();
    if (paid && code.isEmpty()) {
        lbStaff->setText(QStringLiteral("Type the authorisation code from the card receipt."));
        ebAuthCode->setFocus();
        return;
    }
    try {
        if (paid)
            DecidePaid(fConx, *attempt, code, fDecider);
        else
            DecideNotPaid(fConx, *attempt, fDecider);
    } catch (const std::exception& e) {
        lbStaff->setText(QString::fromUtf8(e.what()));
    }
    ebAuthCode->clear();
    ebScanBuffer->setFocus();
    refresh();
}

#include "kiosk/fm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dm_main.h"
#include "app/uClock.h"
#include "app/uGlobals.h"
#include "app/uLog.h"
#include "app/uText.h"
#include "backoffice/fm_importUpdates.h"
#include "backoffice/fra_engineer.h"
#include "backoffice/uEngineer.h"
#include "payment/fm_ccPayment.h"
#include "payment/fm_receipt.h"
#include "payment/fra_payment.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentJournal.h"
#include "payment/uTestMode.h"
#include "sale/fm_Info.h"
#include "sale/fm_getQuantity.h"
#include "sale/fra_default.h"
#include "sale/fra_itemkey.h"
#include "sale/fra_manager.h"
#include "sale/fra_search.h"
#include "sale/fra_topup.h"
#include "sale/fra_transaction.h"
#include "sale/wg_TestModeBand.h"
#include "ui/AdvDialogs.h"
#include "ui/fm_mainArt.h"
#include "ui/fm_splash.h"
#include "ui/fra_tile.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KioskApplication.h"

namespace {

constexpr int BarHeight = 101;
constexpr QSize BarButtonSize{120, 85};
constexpr int BarIconSize = 44;
const QColor BarColour(0x24, 0x3b, 0x5e);
const QColor PageColour(0xf0, 0xf3, 0xf8);

QToolButton* MakeBarButton(const QString& name, const QString& caption, const QPixmap& picture,
                           bool flat, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(BarIconSize, BarIconSize));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFixedSize(BarButtonSize);
    button->setFont(KioskFont(KioskFace::Tahoma, 16));
    button->setFocusPolicy(flat ? Qt::NoFocus : Qt::StrongFocus);
    if (flat) {
        button->setAutoRaise(true);
        button->setStyleSheet(QStringLiteral(
            "QToolButton { color: white; background: transparent; border: none; }"
            "QToolButton:pressed { background: rgba(255, 255, 255, 40); border-radius: 10px; }"));
    }
    return button;
}

// Controls that take typed text for themselves; keys aimed at them stay there.
bool TakesText(const QWidget* widget) {
    return widget->inherits("QLineEdit") || widget->inherits("QTextEdit") ||
           widget->inherits("QPlainTextEdit") || widget->inherits("QAbstractSpinBox") ||
           widget->inherits("QComboBox");
}

bool IsEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// Keys a scanner or a person typing a code sends.
bool IsScanKey(const QKeyEvent* key) {
    if (IsEnter(key) || key->key() == Qt::Key_Backspace) return true;
    const QString text = key->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

QString ClockText(const QDateTime& now) {
    return QLocale().toString(now, QStringLiteral("ddd, d. MMM yyyy, hh:mm:ss"));
}

TFmMain::TFmMain(Tdm& dm, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      fDm(dm),
      fSale(dm.conx),
      fDayEnd(dm.conx, dm.DataFolder),
      fSearch(dm.conx) {
    setObjectName(QStringLiteral("FmMain"));
    setWindowTitle(QStringLiteral("KelvoPOS Self Serv"));
    resize(DesignSize);
    buildScreen();
    bindHandlers();
    FormCreate();
}

TFmMain::~TFmMain() {
    qApp->removeEventFilter(this);
    if (GlobalScanner == fGlobalScanner.get()) GlobalScanner = nullptr;
}

// ---- Building the window -----------------------------------------------------------------

// The screen is drawn at its design size on fDesign, centred in the window; a window larger
// than the design (a screen of other proportions, once scaled) shows the bar colour around it.
void TFmMain::buildScreen() {
    fDesign = new QWidget(this);
    fDesign->setObjectName(QStringLiteral("pnDesign"));
    fDesign->setFixedSize(DesignSize);
    fDesign->setAutoFillBackground(true);
    SetPaletteColour(*fDesign, QPalette::Window, PageColour);
    setAutoFillBackground(true);
    SetPaletteColour(*this, QPalette::Window, BarColour);

    pcMain = new QStackedWidget(fDesign);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    pcMain->setAutoFillBackground(true);
    tsDefault = new TfraDefault(pcMain);
    tsFind = new TfraSearch(fSearch.products(), this, pcMain);
    tsMOP = new TfraPayment(pcMain);
    tsManager = new TfraManager(pcMain);
    tsTopup = new TfraTopup(pcMain);
    tsEngineer = new TfraEngineer(pcMain);
    for (QWidget* page : {static_cast<QWidget*>(tsDefault), static_cast<QWidget*>(tsFind),
                          static_cast<QWidget*>(tsMOP), static_cast<QWidget*>(tsManager),
                          static_cast<QWidget*>(tsTopup), static_cast<QWidget*>(tsEngineer)})
        pcMain->addWidget(page);

    pnl_trans = new TfraTransaction(cdsTX, fDesign);

    auto* pages = new QVBoxLayout;
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(0);
    pages->addWidget(pcMain, 1);
    pages->addWidget(buildBottomBar());
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addLayout(pages, 1);
    body->addWidget(pnl_trans);
    auto* layout = new QVBoxLayout(fDesign);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lbTestMode = new TTestModeBand(this));
    layout->addWidget(buildTopBar());
    layout->addLayout(body, 1);

    buildScanBuffer();
}

void TFmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize spare = size() - DesignSize;
    fDesign->move(std::max(0, spare.width() / 2), std::max(0, spare.height() / 2));
}

QWidget* TFmMain::buildTopBar() {
    pnTop = new TClickPanel(fDesign);
    pnTop->setObjectName(QStringLiteral("pnTop"));
    pnTop->setFixedHeight(BarHeight);
    pnTop->setColour(BarColour);

    lbSiteName = new QLabel(QStringLiteral("HILLTOP"), pnTop);
    lbSiteName->setObjectName(QStringLiteral("lbSiteName"));
    lbSiteName->setTextFormat(Qt::PlainText);
    lbSiteName->setFont(KioskFont(KioskFace::ArialBlack, 43));
    lbTime = new QLabel(QStringLiteral("00:00:00"), pnTop);
    lbTime->setObjectName(QStringLiteral("lbTime"));
    lbTime->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    for (QLabel* label : {lbSiteName, lbTime}) {
        SetPaletteColour(*label, QPalette::WindowText, Qt::white);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    auto* layout = new QHBoxLayout(pnTop);
    layout->setContentsMargins(28, 0, 28, 0);
    layout->addWidget(lbSiteName);
    layout->addStretch(1);
    layout->addWidget(lbTime);
    return pnTop;
}

QWidget* TFmMain::buildBottomBar() {
    pnBottom = new TClickPanel(fDesign);
    pnBottom->setObjectName(QStringLiteral("pnBottom"));
    pnBottom->setFixedHeight(BarHeight);
    pnBottom->setColour(BarColour);

    cmAssistance = MakeBarButton(QStringLiteral("cmAssistance"), QStringLiteral("Assistance"),
                                 AssistanceArt(BarIconSize, Qt::white), true, pnBottom);
    cmTopups = MakeBarButton(QStringLiteral("cmTopups"), QStringLiteral("Top-Ups"),
                             TopupArt(BarIconSize, KioskTextColour), false, pnBottom);
    cmLookup = MakeBarButton(QStringLiteral("cmLookup"), QStringLiteral("Find"),
                             FindArt(BarIconSize, Qt::white), true, pnBottom);

    auto* layout = new QHBoxLayout(pnBottom);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(12);
    layout->addWidget(cmAssistance);
    layout->addStretch(1);
    layout->addWidget(cmTopups);
    layout->addWidget(cmLookup);
    return pnBottom;
}

// The scan buffer and its button stay enabled and focusable but sit behind the top bar and
// the pages, where no one sees them.
void TFmMain::buildScanBuffer() {
    ebScanBuffer = new QLineEdit(fDesign);
    ebScanBuffer->setObjectName(QStringLiteral("ebScanBuffer"));
    ebScanBuffer->setGeometry(400, 40, 121, 21);
    ebScanBuffer->lower();

    cmEndScan = new QPushButton(QStringLiteral("X"), fDesign);
    cmEndScan->setObjectName(QStringLiteral("cmEndScan"));
    cmEndScan->setGeometry(16, BarHeight + 16, 75, 25);
    cmEndScan->setFocusPolicy(Qt::NoFocus);
    cmEndScan->setDefault(true);
    cmEndScan->lower();
}

void TFmMain::bindHandlers() {
    connect(cmEndScan, &QPushButton::clicked, this, &TFmMain::cmEndScanClick);
    connect(tsManager->cmVoidLine, &TClickPanel::clicked, this, &TFmMain::cmVoidLineClick);
    connect(tsManager->cmVoidTransaction, &TClickPanel::clicked, this,
            &TFmMain::cmVoidTransactionClick);
    connect(tsManager->cmRecallLastTA, &TClickPanel::clicked, this, &TFmMain::cmRecallLastTAClick);
    connect(tsManager->cmReprintReceipt, &TClickPanel::clicked, this,
            &TFmMain::cmReprintReceiptClick);
    connect(tsManager->cmCloseScreen, &TClickPanel::clicked, this, &TFmMain::cmCloseScreenClick);
    connect(tsManager->cmShutDown, &TClickPanel::clicked, this, &TFmMain::cmShutDownClick);
    connect(cmLookup, &QToolButton::clicked, this, &TFmMain::cmLookupClick);
    connect(cmTopups, &QToolButton::clicked, this, &TFmMain::cmTopupsClick);
    connect(pnl_trans->cmFinishAndPay, &QPushButton::clicked, this, &TFmMain::cmFinishAndPayClick);
    connect(tsMOP, &TfraPayment::methodChosen, this, &TFmMain::cmMOPChipAndPINClick);
    connect(tsMOP, &TfraPayment::cancelPayment, this, &TFmMain::cmCancelMOPClick);
    connect(pnTop, &TClickPanel::clicked, this, &TFmMain::pnTopClick);
    connect(pnBottom, &TClickPanel::clicked, this, &TFmMain::pnBottomClick);
    connect(pnl_trans, &TClickPanel::clicked, this, &TFmMain::pnl_transClick);
    connect(pnl_trans->pnFinishAndPay, &TClickPanel::clicked, this, &TFmMain::pnl_transClick);
    connect(&tmTime, &QTimer::timeout, this, &TFmMain::tmTimeTimer);
    connect(tsFind, &TfraSearch::filterScreenWanted, this, &TFmMain::ShowFilterScreen);
    connect(tsFind, &TfraSearch::productPicked, this, &TFmMain::SellPickedProduct);
    connect(tsFind, &TfraSearch::closeRequested, this, [this] { ShowPage(tsDefault); });
    connect(tsTopup, &TfraTopup::voucherChosen, this,
            [](const QString& barcode) { GlobalScanner->SetBarcode(barcode); });
    connect(tsTopup, &TfraTopup::closeRequested, this, [this] { ShowPage(tsDefault); });
    connect(tsEngineer, &TfraEngineer::closeScreenClicked, this,
            &TFmMain::cmCloseEngineerScreenClick);
    connect(tsEngineer, &TfraEngineer::brandingColourClicked, this,
            &TFmMain::pnBrandingColourClick);
}

// ---- Life of the window ------------------------------------------------------------------

void TFmMain::FormCreate() {
    tmTime.setInterval(1000);
    fGlobalScanner = std::make_unique<TGlobalScanner>(*this);
    GlobalScanner = fGlobalScanner.get();
    // Keystrokes aimed at no text control of this window belong to the scan buffer.
    qApp->installEventFilter(this);
}

void TFmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (fShown) return;
    fShown = true;
    FormShow();
}

void TFmMain::FormShow() {
    LoadSiteDetails();
    focusScanBuffer();
    pnl_trans->lbl_itemX->hide();
    ShowPage(tsDefault);
    InitialiseKeyboard();
    QCoreApplication::processEvents();
    SettlePayments();
    resetToDefault();
    // After the first reset, which applies the update files waiting at start, so that their
    // promotions count from this start and not only from the next one.
    LoadPromotions();
    fPreviousSalesID = -1;
    tmTime.start();
    CloseSplash();
}

void TFmMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TFmMain::FormClose() {
    tmTime.stop();
}

void TFmMain::resetToDefault() {
    // Between sales no cursor is open: a full commit here lets the engine clean up the row
    // versions that retaining commits keep alive for as long as the kiosk runs.
    fDm.conx.commit();
    // A paid sale is let go before the payment page is left, so it is not reopened.
    ClearSale();
    ShowPage(tsDefault);
    cmTopups->setVisible(fSetup.hasTopups);
    ebScanBuffer->lower();
    tsDefault->hideProduct();
    tsDefault->showDefaultText(TfraDefault::DefaultText);
    ebScanBuffer->clear();
    focusScanBuffer();
    ClearItemKeys();
    ClearSale();
    RefreshTransaction();
    pnl_trans->cmFinishAndPay->setText(QStringLiteral("Finish && Pay"));
    if (ImportUpdates()) LoadSiteDetails();
    paintBars();
    PurgeSales(false);
}

void TFmMain::paintBars() {
    const bool branded = BrandingColour != NoBrandingColour && BrandingColour != 0;
    const QColor colour = branded ? WinColour(BrandingColour) : BarColour;
    pnTop->setColour(colour);
    pnBottom->setColour(colour);
    SetPaletteColour(*this, QPalette::Window, colour);
    pnl_trans->pnFinishAndPay->setColour(colour);
}

// ---- Pages and focus ---------------------------------------------------------------------

void TFmMain::ShowPage(QWidget* page) {
    if (pcMain->currentWidget() == tsMOP && page != tsMOP) ReopenSale();
    pcMain->setCurrentWidget(page);
    pcMainChange();
}

void TFmMain::pcMainChange() {
    focusScanBuffer();
    ClearItemKeys();
    tsFind->clearFilter();
    QWidget* page = pcMain->currentWidget();
    if (page == tsDefault) {
        if (tsDefault->pnScannedProduct->isHidden()) tsDefault->showDefaultText();
    } else if (page == tsFind) {
        ShowFilterScreen(fstNoFilter);
    } else if (page == tsEngineer) {
        LoadEngineerPage();
    }
}

void TFmMain::focusScanBuffer() {
    ebScanBuffer->setFocus(Qt::OtherFocusReason);
}

bool TFmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        forwardToScanBuffer(qobject_cast<QWidget*>(watched), event))
        return true;
    return QWidget::eventFilter(watched, event);
}

// Enter in the scan buffer presses cmEndScan, as a default button would; a code typed while
// another control of the window holds the focus goes to the scan buffer as well.
bool TFmMain::forwardToScanBuffer(QWidget* target, QEvent* event) {
    if (!target || target->window() != this) return false;
    // While a dialog stands over the window (the card payment), its keys are dropped.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->window() != this)
        return true;
    auto* key = static_cast<QKeyEvent*>(event);
    if (target == ebScanBuffer) {
        if (!IsEnter(key)) return false;
        if (cmEndScan->isEnabled()) cmEndScan->click();
        return true;
    }
    if (TakesText(target) || !IsScanKey(key)) return false;
    focusScanBuffer();
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                   key->count());
    QCoreApplication::sendEvent(ebScanBuffer, &copy);
    return true;
}

void TFmMain::pnTopClick() {
    focusScanBuffer();
}

void TFmMain::pnBottomClick() {
    focusScanBuffer();
}

void TFmMain::pnl_transClick() {
    focusScanBuffer();
}

void TFmMain::tmTimeTimer() {
    tmTime.stop();
    const auto restart = qScopeGuard([this] { tmTime.start(); });
    lbTime->setText(ClockText(Clock::instance().now()));
    if (fUnsettled > 0 && !fPaying && --fSettleWaitTicks <= 0) SettlePayments();
    DayEndCheck();
}

// ---- The sale ----------------------------------------------------------------------------

void TFmMain::AddProductToSale(int sid, const QString& barcode, double quantity,
                               const QString& caption) {
    TSaleItem item;
    item.sid = sid;
    item.barcode = barcode;
    item.quantity = quantity;
    item.caption = caption;
    AddItem(item);
}

void TFmMain::AddItem(const TSaleItem& item) {
    // A product added on the payment page reopens the sale: its discounts go, to be worked
    // out afresh at the next pay.
    if (pcMain->currentWidget() == tsMOP) cmCancelMOPClick();
    const TAddResult result = fSale.AddItem(fSalesID, fPreviousSalesID, item, *this);
    if (!result.added) return;
    tsDefault->showProduct(result.panel, fDm.ResFolder);
    RefreshTransaction();
    ShowPage(tsDefault);
}

void TFmMain::RefreshTransaction() {
    const TSaleTotals totals = fSale.ReadTotals(fSalesID);
    pnl_trans->lbSubTotal->setText(totals.subTotalText);
    pnl_trans->lbItemCount->setText(QString::number(totals.itemCount));
    fSale.LoadLines(fSalesID, cdsTX, [this](int sid) { return cdsTXBeforePost(sid); });
    pnl_trans->showLines();
    pnl_trans->cmFinishAndPay->setEnabled(cdsTX.rowCount() > 0);
}

void TFmMain::EvaluatePromotions() {
    ::EvaluatePromotions(fDm.conx, fSalesID, fPromoList);
    RefreshTransaction();
}

void TFmMain::ClearSale() {
    fSalesID = -1;
    cdsTX.clear();
    pnl_trans->showLines();
    fSelectedItemKeyGroup = -1;
}

void TFmMain::hideScannedProduct() {
    tsDefault->hideProduct();
}

void TFmMain::showControlledProduct(int limit) {
    ShowControlledProduct(limit, this);
}

void TFmMain::showTimeRestricted() {
    ShowTimeRestricted(this);
}

TAgeCheck TFmMain::confirmAge(int age) {
    fb::Query q(fDm.conx);
    return ConfirmAge(age, q, this);
}

void TFmMain::cmVoidLineClick() {
    const int row = pnl_trans->currentRow();
    const qint64 lineId =
        row >= 0 ? cdsTX.value(row, QStringLiteral("SALES_LINE_ID")).toInt64() : 0;
    // Only product lines can go; a discount or the blank row before the discounts cannot.
    if (lineId <= 0) {
        ShowInformation(QStringLiteral("Please select a product line"));
        return;
    }
    if (ShowQuestion(QStringLiteral("Void the selected line")) != mrYes) return;
    fSale.VoidLine(lineId);
    RefreshTransaction();
    ShowPage(tsDefault);
}

void TFmMain::cmVoidTransactionClick() {
    if (const QString refusal = VoidRefusal(fDm.conx, fSalesID); !refusal.isEmpty()) {
        ShowError(refusal);
        ShowPage(tsDefault);
        return;
    }
    if (ShowQuestion(QStringLiteral("Void current transaction")) != mrYes) {
        ShowPage(tsDefault);
        return;
    }
    fSale.VoidTransaction(fSalesID, fPreviousSalesID);
    resetToDefault();
}

void TFmMain::cmRecallLastTAClick() {
    fSalesID = fPreviousSalesID;
    RefreshTransaction();
}

// The receipt of the last paid sale, marked as a reprint: for a customer whose payment was
// settled after they left, or who asks again.
void TFmMain::cmReprintReceiptClick() {
    const int sale = TPaymentJournal(fDm.conx).lastPaidSale();
    if (sale <= 0) {
        ShowInformation(QStringLiteral("There is no paid sale to reprint."));
        return;
    }
    PrintReceipt(fDm.conx, sale, fDm.AppFolder, fDm.DataFolder, true);
}

void TFmMain::cmCloseScreenClick() {
    ShowPage(tsDefault);
}

void TFmMain::cmShutDownClick() {
    if (ShowQuestion(QStringLiteral("Are you sure you want to shut down the system?")) == mrYes)
        close();
}

// ---- Barcode input -----------------------------------------------------------------------

void TFmMain::cmEndScanClick() {
    const QString text = ebScanBuffer->text();
    // Whatever the code did, the buffer is empty and holds the keyboard again afterwards.
    const auto refocus = qScopeGuard([this] {
        ebScanBuffer->clear();
        focusScanBuffer();
    });
    if (text.isEmpty()) return;
    QString access;
    const int user = fDm.BarcodeToUser(text, access);
    if (user == -2)
        ShowPage(tsEngineer);
    else if (user == 0)
        BarcodeScanned(text);
    else
        ShowPage(tsManager);
}

void TFmMain::BarcodeScanned(const QString& barcode) {
    const std::optional<TSaleItem> item = fSale.ScanBarcode(barcode);
    // The sale page comes back whatever adding the product did.
    const auto back = qScopeGuard([this] { ShowPage(tsDefault); });
    if (!item)
        tsDefault->showNotFound();
    else
        AddItem(*item);
}

// ---- Other pages -------------------------------------------------------------------------

void TFmMain::cmLookupClick() {
    ShowPage(tsFind);
    fSearch.products().OpenAll();
}

void TFmMain::cmTopupsClick() {
    tsTopup->showSheet(TfraTopup::tsTopupProvider);
    ShowPage(tsTopup);
}

void TFmMain::customEvent(QEvent* event) {
    if (event->type() == WM_ITEMKEY) {
        // A second touch queued behind the first belongs to keys that are gone: a group's
        // number must not be sold as a product.
        const auto* message = static_cast<TItemKeyMessage*>(event);
        if (tsFind->isCurrentKeyPage(message->lParam)) WMItemKeyClick(message->wParam);
    } else
        QWidget::customEvent(event);
}

void TFmMain::WMItemKeyClick(int tag) {
    if (fFilterScreenType == fstNoFilter || fFilterScreenType == fstItemKeyGroups) {
        fSelectedItemKeyGroup = tag;
        ShowFilterScreen(fstItemKeys);
    } else {
        SellPickedProduct(tag, {});
    }
}

void TFmMain::SellPickedProduct(int sid, const QString& caption) {
    const int quantity = GetQuantity(this);
    if (quantity > 0) AddProductToSale(sid, {}, quantity, caption);
}

// ---- Checkout ----------------------------------------------------------------------------

void TFmMain::cmFinishAndPayClick() {
    EvaluatePromotions();
    ShowPage(tsMOP);
    // What the terminal will be asked for: a paid sale brought back owes only what was added.
    pnl_trans->cmFinishAndPay->setText(
        QStringLiteral("DUE ") + MoneyText(AmountDueInMinorUnits(fDm.conx, fSalesID) / 100.0));
    pnl_trans->cmFinishAndPay->setEnabled(false);
    QCoreApplication::processEvents();
}

void TFmMain::cmMOPChipAndPINClick() {
    if (fPaying) return;  // a double touch starts one payment
    bool paid = false;
    {
        fPaying = true;
        const auto done = qScopeGuard([this] { fPaying = false; });
        try {
            paid =
                PayForSale(fDm.conx, fSalesID, CardTerminal(fDm.DataFolder, this), fDm.DataFolder);
        } catch (const TPaymentInterrupted&) {
            return;  // the kiosk is stopping; the next start settles the payment
        }
    }
    fUnsettled = int(TPaymentJournal(fDm.conx).unsettled().size());
    fSettleWaitTicks = 1;
    if (paid) SalePaid();
}

// The sale is paid: a receipt that fails to print still leaves the kiosk ready for the next
// customer, never on the payment page of a paid sale.
void TFmMain::SalePaid() {
    try {
        if (AskYesNo(ReceiptQuestion, this))
            PrintReceipt(fDm.conx, fSalesID, fDm.AppFolder, fDm.DataFolder);
    } catch (...) {
        resetToDefault();
        throw;
    }
    resetToDefault();
}

void TFmMain::SettlePayments() {
    TPaymentJournal journal(fDm.conx);
    fUnsettled = int(journal.unsettled().size());
    if (fUnsettled == 0) return;
    TSettlement settled;
    const TPaymentTerminal terminal = CardTerminal(fDm.DataFolder, this);
    if (terminal.openClient) {
        try {
            settled = ::SettlePayments(fDm.conx, *terminal.openClient(), fDm.DataFolder);
        } catch (const TPaymentInterrupted&) {
            return;
        }
    } else {
        settled.unsettled = fUnsettled;
        settled.problem = QStringLiteral("no payment terminal is configured");
    }
    fUnsettled = settled.unsettled;
    // A terminal that cannot be reached is asked less often, up to every 30 seconds.
    fSettleWaitTicks =
        settled.problem.isEmpty() ? 1 : std::min(30, std::max(2, fSettleWaitTicks * 2));
    if (settled.problem != fSettleProblem && !settled.problem.isEmpty())
        WriteLog(QStringLiteral("%1 card payment(s) wait to be settled: %2")
                     .arg(settled.unsettled)
                     .arg(settled.problem),
                 0);
    fSettleProblem = settled.problem;
    if (fSalesID > 0 && settled.paidSales.contains(fSalesID)) SalePaid();
}

void TFmMain::cmCancelMOPClick() {
    ShowPage(tsDefault);
}

// However the payment page is left unpaid (Cancel Payment, another page, a staff card), the
// sale is payable again: its discounts go, to be worked out afresh at the next pay, and the pay
// button is live with the current sub-total.
void TFmMain::ReopenSale() {
    if (fSalesID > 0) CancelPayment(fDm.conx, fSalesID);
    RefreshTransaction();
    pnl_trans->cmFinishAndPay->setText(QStringLiteral("Finish && Pay"));
}

// ---- Steps of later work -----------------------------------------------------------------

void TFmMain::LoadSiteDetails() {
    tsEngineer->LoadPrinterNames();
    DefaultKeepPeriod(fDm.conx);  // as the setup row is opened
    fb::Query q(fDm.conx);
    fSetup = ::LoadSiteDetails(q);
    lbSiteName->setText(fSetup.name + u' ');
    BrandingColour = fSetup.brandingColour;
    lbTestMode->setVisible(IsTestMode(fSetup.debug));
}

// Applies waiting update files; true when any was applied. The window takes no input
// meanwhile, which costs the scan buffer its focus.
bool TFmMain::ImportUpdates() {
    const auto refocus = qScopeGuard([this] { focusScanBuffer(); });
    return ::ImportUpdates(fDm.conx, ImportFolders::ofDataFolder(fDm.DataFolder), this);
}

void TFmMain::PurgeSales(bool dayEnd) {
    fDayEnd.PurgeSales(dayEnd);
}

// The set is chosen once: a promotion whose hours begin later waits for the next start.
void TFmMain::LoadPromotions() {
    fPromoList = ::LoadPromotions(fDm.conx, Clock::instance().now());
}

void TFmMain::InitialiseKeyboard() {
    tsFind->InitialiseKeyboard();
}

// Maintenance waits for the screen at rest: no sale, no modal box (an age check may be asking
// before its sale exists), no unit of work (an import's) open on the connection.
void TFmMain::DayEndCheck() {
    const bool atRest =
        fSalesID <= 0 && !QApplication::activeModalWidget() && !fDm.conx.inTransaction();
    fDayEnd.Tick(atRest, {[this] {
                              resetToDefault();
                              tsDefault->hideProduct();
                              tsDefault->showDefaultText(MaintenanceText);
                              setEnabled(false);
                              QCoreApplication::processEvents();
                          },
                          [this] {
                              setEnabled(true);
                              resetToDefault();
                              QCoreApplication::processEvents();
                          }});
}

void TFmMain::LoadEngineerPage() {
    LoadSiteDetails();
    tsEngineer->setSettings(LoadEngineerSettings(fDm.conx, fDm.RunTime, BrandingColour));
}

// A number the settings cannot take is reported with nothing saved; the page stays open with
// the engineer's edits, to be corrected.
void TFmMain::cmCloseEngineerScreenClick() {
    try {
        SaveEngineerSettings(fDm, tsEngineer->settings());
    } catch (const std::exception& e) {
        TKioskApplication::reportError(QString::fromUtf8(e.what()));
        return;
    }
    LoadSiteDetails();  // the stored row decides the default page, top-ups included
    resetToDefault();
}

void TFmMain::pnBrandingColourClick() {
    tsEngineer->pickBrandingColour();
}

void TFmMain::ClearItemKeys() {
    tsFind->ClearItemKeys();
}

void TFmMain::ShowFilterScreen(TFilterScreenType mode) {
    fFilterScreenType = mode;
    ClearItemKeys();
    if (mode != fstItemKeys) fSelectedItemKeyGroup = -1;
    const TSearchPage page =
        fSearch.ShowFilterScreen(mode, fSelectedItemKeyGroup, tsFind->filterText());
    fFilterScreenType = page.mode;
    tsFind->showPage(page, fDm.ResFolder);
}

QString TFmMain::cdsTXBeforePost(int sid) {
    return fPromoList.PromoMarker(sid);
}

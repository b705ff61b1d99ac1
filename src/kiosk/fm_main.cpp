#include "kiosk/fm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dm_main.h"
#include "app/uAssistance.h"
#include "app/uClock.h"
#include "app/uGlobals.h"
#include "app/uSpeech.h"
#include "app/uStopSignals.h"
#include "backoffice/fm_importUpdates.h"
#include "backoffice/fra_engineer.h"
#include "kiosk/fra_bars.h"
#include "payment/fm_receipt.h"
#include "payment/fra_payment.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentDoubts.h"
#include "payment/uPaymentJournal.h"
#include "payment/uReceipt.h"
#include "payment/uTestMode.h"
#include "sale/fm_getQuantity.h"
#include "sale/fra_manager.h"
#include "sale/fra_topup.h"
#include "sale/fra_transaction.h"
#include "sale/wg_TestModeBand.h"
#include "ui/AdvDialogs.h"
#include "ui/fm_splash.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_BusyScope.h"
#include "ui/wg_Colours.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_Tone.h"

namespace {

const QColor PageColour(0xf0, 0xf3, 0xf8);

const QString SpeechOnText = QStringLiteral(
    "Speech on. Tab and the arrow keys move between the keys, Enter chooses, Escape goes back. "
    "F4 repeats, F5 pauses, F1 calls for assistance.");

QVBoxLayout* Column(QWidget* parent = nullptr) {
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

}  // namespace

TFmMain::TFmMain(Tdm& dm, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      fDm(dm),
      fOnScreen(dm),
      fDayEnd(dm.conx, dm.DataFolder),
      fSearch(dm.conx),
      fCardPayments(dm.conx, dm.DataFolder, this, [this] { cmAssistanceClick(); }) {
    setObjectName(QStringLiteral("FmMain"));
    setWindowTitle(QStringLiteral("KelvoPOS Self Serv"));
    resize(DesignSize);
    TLargeText::instance();
    buildScreen();
    describePages();
    bindHandlers();
    tmTime.setInterval(1000);
    fGlobalScanner = std::make_unique<TGlobalScanner>(*this);
    GlobalScanner = fGlobalScanner.get();
}

TFmMain::~TFmMain() {
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
    SetPaletteColour(*this, QPalette::Window, KioskBarColour);

    pcMain = new QStackedWidget(fDesign);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    pcMain->setAutoFillBackground(true);
    pcMain->addWidget(tsDefault = new TfraDefault(pcMain));
    pcMain->addWidget(tsFind = new TfraSearch(fSearch, fDm.ResFolder, pcMain));
    pcMain->addWidget(tsMOP = new TfraPayment(pcMain));
    pcMain->addWidget(tsManager = new TfraManager(pcMain));
    pcMain->addWidget(tsTopup = new TfraTopup(pcMain));
    pcMain->addWidget(tsEngineer = new TfraEngineer(pcMain));

    auto* pages = Column();
    pages->addWidget(pcMain, 1);
    pages->addWidget(pnBottom = new TfraBottomBar(fDesign));
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addLayout(pages, 1);
    body->addWidget(pnl_trans = new TfraTransaction(fOnScreen.lines(), fDesign));
    fOnScreen.showIn(*pnl_trans);
    auto* layout = Column(fDesign);
    layout->addWidget(lbTestMode = new TTestModeBand(this));
    layout->addWidget(pnTop = new TfraTopBar(fDesign));
    layout->addLayout(body, 1);

    fScan = new TScanRouter(this, fDesign, [this](const QString& code) {
        QString access;
        return fDm.BarcodeToUser(code, access);
    });
}

void TFmMain::describePages() {
    tsDefault->setAccessibleDescription(TfraDefault::DefaultText);
    tsFind->setAccessibleDescription(QStringLiteral(
        "Find a product: choose a group and then a product, or type the product's name"));
    tsMOP->setAccessibleDescription(QStringLiteral("Choose how to pay"));
    tsManager->setAccessibleDescription(QStringLiteral("Manager page"));
    tsTopup->setAccessibleDescription(QStringLiteral("Mobile top-ups: choose your network"));
    tsEngineer->setAccessibleDescription(QStringLiteral("Engineer page"));
}

void TFmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize spare = size() - DesignSize;
    fDesign->move(std::max(0, spare.width() / 2), std::max(0, spare.height() / 2));
}

void TFmMain::bindHandlers() {
    const auto toDefault = [this] { ShowPage(tsDefault); };
    connect(fScan, &TScanRouter::engineerScanned, this, [this] { ShowPage(tsEngineer); });
    connect(fScan, &TScanRouter::managerScanned, this, [this] { ShowPage(tsManager); });
    connect(fScan, &TScanRouter::productScanned, this, &TFmMain::BarcodeScanned);
    connect(tsManager, &TfraManager::voidLineClicked, this, &TFmMain::cmVoidLineClick);
    connect(tsManager, &TfraManager::voidTransactionClicked, this,
            &TFmMain::cmVoidTransactionClick);
    connect(tsManager, &TfraManager::recallLastClicked, this, &TFmMain::cmRecallLastTAClick);
    connect(tsManager, &TfraManager::reprintReceiptClicked, this, &TFmMain::cmReprintReceiptClick);
    connect(tsManager, &TfraManager::paymentDoubtsClicked, this,
            [this] { fCardPayments.showDoubts(); });
    connect(tsManager, &TfraManager::closeScreenClicked, this, &TFmMain::cmCloseScreenClick);
    connect(tsManager, &TfraManager::shutDownClicked, this, &TFmMain::cmShutDownClick);
    connect(pnBottom, &TfraBottomBar::lookupClicked, this, &TFmMain::cmLookupClick);
    connect(pnBottom, &TfraBottomBar::topupsClicked, this, &TFmMain::cmTopupsClick);
    connect(pnBottom, &TfraBottomBar::assistanceClicked, this, &TFmMain::cmAssistanceClick);
    connect(&TAccessModes::instance(), &TAccessModes::speechChanged, this,
            &TFmMain::speechSwitched);
    connect(pnBottom, &TfraBottomBar::speechClicked, this,
            [] { TAccessModes::instance().toggleSpeech(); });
    connect(pnBottom, &TfraBottomBar::largeTextClicked, this,
            [] { TAccessModes::instance().toggleLargeText(); });
    connect(pnl_trans, &TfraTransaction::payClicked, this, &TFmMain::cmFinishAndPayClick);
    connect(tsMOP, &TfraPayment::methodChosen, this, &TFmMain::cmMOPChipAndPINClick);
    connect(tsMOP, &TfraPayment::cancelPayment, this, &TFmMain::cmCancelMOPClick);
    connect(pnTop, &TClickPanel::clicked, this, &TFmMain::pnTopClick);
    connect(pnBottom, &TClickPanel::clicked, this, &TFmMain::pnBottomClick);
    connect(pnl_trans, &TClickPanel::clicked, this, &TFmMain::pnl_transClick);
    connect(&tmTime, &QTimer::timeout, this, &TFmMain::tmTimeTimer);
    connect(tsFind, &TfraSearch::productPicked, this, &TFmMain::SellPickedProduct);
    connect(tsFind, &TfraSearch::closeRequested, this, toDefault);
    connect(tsTopup, &TfraTopup::voucherChosen, this,
            [](const QString& barcode) { GlobalScanner->SetBarcode(barcode); });
    connect(tsTopup, &TfraTopup::closeRequested, this, toDefault);
    connect(tsEngineer, &TfraEngineer::closeScreenClicked, this,
            &TFmMain::cmCloseEngineerScreenClick);
    connect(tsEngineer, &TfraEngineer::brandingColourClicked, this,
            &TFmMain::pnBrandingColourClick);
}

// ---- Life of the window ------------------------------------------------------------------

void TFmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (fShown) return;
    fShown = true;
    FormShow();
}

void TFmMain::FormShow() {
    LoadSiteDetails();
    fScan->focus();
    ShowPage(tsDefault);
    InitialiseKeyboard();
    TBusyScope::keepAlive();
    SettlePayments();
    resetToDefault();
    // After the first reset, which applies the update files waiting at start, so that their
    // promotions count from this start and not only from the next one.
    LoadPromotions();
    fOnScreen.forgetPrevious();
    tmTime.start();
    CloseSplash();
}

void TFmMain::closeEvent(QCloseEvent* event) {
    tmTime.stop();
    event->accept();
}

void TFmMain::resetToDefault() {
    // Between sales no cursor is open: a full commit here lets the engine clean up the row
    // versions that retaining commits keep alive for as long as the kiosk runs.
    fDm.conx.commit();
    // A paid sale is let go before the payment page is left, so it is not reopened.
    ClearSale();
    ShowPage(tsDefault);
    pnBottom->setTopupsVisible(fSetup.hasTopups);
    tsDefault->hideProduct();
    tsDefault->showDefaultText(TfraDefault::DefaultText);
    fScan->reset();
    ClearItemKeys();
    ClearSale();
    RefreshTransaction();
    if (ImportUpdates()) LoadSiteDetails();
    paintBars();
    PurgeSales(false);
}

void TFmMain::paintBars() {
    const bool branded = BrandingColour != NoBrandingColour && BrandingColour != 0;
    const QColor colour = branded ? WinColour(BrandingColour) : KioskBarColour;
    pnTop->setBarColour(colour);
    pnBottom->setBarColour(colour);
    SetPaletteColour(*this, QPalette::Window, colour);
    pnl_trans->setBarColour(colour);
}

// ---- Pages and focus ---------------------------------------------------------------------

void TFmMain::ShowPage(QWidget* page) {
    // However the payment page is left unpaid (Cancel Payment, another page, a staff card),
    // the sale is payable again.
    if (pcMain->currentWidget() == tsMOP && page != tsMOP) fOnScreen.reopen();
    pcMain->setCurrentWidget(page);
    pcMainChange();
}

void TFmMain::pcMainChange() {
    fScan->focus();
    ClearItemKeys();
    tsFind->clearFilter();
    QWidget* page = pcMain->currentWidget();
    TSpeaker::instance().say(page->accessibleDescription());
    if (page == tsDefault && !tsDefault->showsProduct())
        tsDefault->showDefaultText();
    else if (page == tsFind)
        ShowFilterScreen(fstNoFilter);
    else if (page == tsEngineer)
        LoadEngineerPage();
}

// The clock always; settlement and maintenance wait while other work of the kiosk runs.
void TFmMain::tmTimeTimer() {
    pnTop->setTime(ClockText(Clock::instance().now()));
    if (fCardPayments.tick(fOnScreen.id())) SalePaid();
    DayEndCheck();
}

// ---- The sale ----------------------------------------------------------------------------

void TFmMain::AddProductToSale(int sid, const QString& barcode, double quantity,
                               const QString& caption) {
    AddItem(ProductItem(sid, barcode, quantity, caption));
}

void TFmMain::AddItem(const TSaleItem& item) {
    // A product added on the payment page reopens the sale: its discounts go, to be worked
    // out afresh at the next pay.
    if (pcMain->currentWidget() == tsMOP) cmCancelMOPClick();
    const TAddResult result = fOnScreen.add(item, *this);
    if (!result.added) return;
    tsDefault->showProduct(result.panel, fDm.ResFolder);
    RefreshTransaction();
    TSpeaker::instance().say(fOnScreen.spokenNewLine());
    ShowPage(tsDefault);
}

TAgeCheck TFmMain::confirmAge(int age) {
    fb::Query q(fDm.conx);
    return ConfirmAge(age, q, fDm.EngineerCodes, this);
}

void TFmMain::cmVoidLineClick() {
    if (fOnScreen.voidSelectedLine()) ShowPage(tsDefault);
}

void TFmMain::cmVoidTransactionClick() {
    if (fOnScreen.voidTransaction()) {
        SaleEnded();
        resetToDefault();
    } else
        ShowPage(tsDefault);
}

void TFmMain::cmReprintReceiptClick() {
    ReprintLastReceipt(fDm.conx, fDm.AppFolder, fDm.DataFolder);
}

void TFmMain::cmCloseScreenClick() {
    ShowPage(tsDefault);
}

void TFmMain::cmShutDownClick() {
    if (ShowQuestion(QStringLiteral("Are you sure you want to shut down the system?")) == mrYes)
        close();
}

void TFmMain::BarcodeScanned(const QString& barcode) {
    const std::optional<TSaleItem> item = fOnScreen.sale().ScanBarcode(barcode);
    // The sale page comes back whatever adding the product did.
    const auto back = qScopeGuard([this] { ShowPage(tsDefault); });
    if (!item) {
        tsDefault->showNotFound();
        TSpeaker::instance().say(TfraDefault::NotFoundText, TSpeechKind::Error);
    } else
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

void TFmMain::SellPickedProduct(int sid, const QString& caption) {
    const int quantity = GetQuantity(this);
    if (quantity > 0) AddProductToSale(sid, {}, quantity, caption);
}

// ---- Checkout ----------------------------------------------------------------------------

void TFmMain::cmFinishAndPayClick() {
    EvaluatePromotions();
    ShowPage(tsMOP);
    fOnScreen.showAmountDue();
    TSpeaker::instance().say(fOnScreen.spokenAmountDue());
    TBusyScope::keepAlive();
}

// A sale put aside in doubt by staff leaves the screen to the next customer; a part payment
// shows what is still due.
void TFmMain::cmMOPChipAndPINClick() {
    using Outcome = TPaymentResult::Outcome;
    const TPaymentResult result = fCardPayments.pay(fOnScreen.id());
    if (result.paid()) {
        SalePaid();
    } else if (result.outcome == Outcome::InDoubt && !StopRequested()) {
        SaleEnded();
        resetToDefault();
    } else if (result.outcome == Outcome::PartlyPaid) {
        fOnScreen.showAmountDue();
    }
}

// The sale is paid: a receipt that fails to print still leaves the kiosk ready for the next
// customer, never on the payment page of a paid sale.
void TFmMain::SalePaid() {
    try {
        if (WantsReceipt()) PrintReceipt(fDm.conx, fOnScreen.id(), fDm.AppFolder, fDm.DataFolder);
    } catch (...) {
        SaleEnded();
        resetToDefault();
        throw;
    }
    SaleEnded();
    resetToDefault();
}

bool TFmMain::WantsReceipt() {
    if (!TAccessModes::instance().speech()) return AskYesNo(ReceiptQuestion, this);
    const QStringList captions{QStringLiteral("&Yes"), QStringLiteral("&No"),
                               QStringLiteral("&Hear Receipt")};
    for (;;) {
        const int answer = ShowChoice(ReceiptQuestion, captions);
        if (answer != 2) return answer == 0;
        TSpeaker::instance().say(SpokenReceipt(BuildReceipt(fDm.conx, fOnScreen.id())));
    }
}

void TFmMain::SaleEnded() {
    TAccessModes::instance().endOfSale();
}

void TFmMain::speechSwitched(bool on) {
    if (!on) return;
    TSpeaker::instance().say(SpeechOnText);
    TSpeaker::instance().say(pcMain->currentWidget()->accessibleDescription());
}

void TFmMain::cmAssistanceClick() {
    const TAssistanceConfig config = LoadAssistanceConfig(fDm.DataFolder);
    CallAssistance(config);
    if (config.tone) SoundCallTone();
    ShowAssistanceCalled(this);
    fScan->focus();
}

void TFmMain::SettlePayments() {
    if (fCardPayments.settleAtStart(fOnScreen.id())) SalePaid();
}

void TFmMain::cmCancelMOPClick() {
    ShowPage(tsDefault);
}

// ---- Steps of later work -----------------------------------------------------------------

void TFmMain::LoadSiteDetails() {
    tsEngineer->LoadPrinterNames();
    DefaultKeepPeriod(fDm.conx);  // as the setup row is opened
    fb::Query q(fDm.conx);
    fSetup = ::LoadSiteDetails(q);
    pnTop->setSiteName(fSetup.name + u' ');
    BrandingColour = fSetup.brandingColour;
    lbTestMode->setVisible(IsTestMode(fSetup.debug));
}

// Applies waiting update files; true when any was applied. The window takes no input
// meanwhile, which costs the scan buffer its focus.
bool TFmMain::ImportUpdates() {
    const auto refocus = qScopeGuard([this] { fScan->focus(); });
    return ::ImportUpdates(fDm.conx, ImportFolders::ofDataFolder(fDm.DataFolder), this);
}

// Maintenance waits for the screen at rest: no other work of the kiosk, no sale, no modal box
// (an age check may be asking before its sale exists), no unit of work (an import's) open
// on the connection. The window takes no input while it runs.
void TFmMain::DayEndCheck() {
    const bool atRest = !TBusyScope::active() && fOnScreen.id() <= 0 &&
                        !QApplication::activeModalWidget() && !fDm.conx.inTransaction();
    std::optional<TBusyScope> maintenance;
    fDayEnd.Tick(atRest, {[&] {
                              resetToDefault();
                              tsDefault->hideProduct();
                              tsDefault->showDefaultText(MaintenanceText);
                              maintenance.emplace(this);
                              TBusyScope::keepAlive();
                          },
                          [&] {
                              maintenance.reset();
                              LoadSiteDetails();  // a day end ends test mode
                              resetToDefault();
                              TBusyScope::keepAlive();
                          }});
}

void TFmMain::LoadEngineerPage() {
    LoadSiteDetails();
    tsEngineer->load(fDm);
    tsEngineer->showNotice(
        LongDoubtNotice(TPaymentJournal(fDm.conx).unsettled(), Clock::instance().now()));
}

void TFmMain::cmCloseEngineerScreenClick() {
    if (!tsEngineer->save(fDm)) return;
    LoadSiteDetails();  // the stored row decides the default page, top-ups included
    resetToDefault();
}

void TFmMain::pnBrandingColourClick() {
    tsEngineer->pickBrandingColour();
}

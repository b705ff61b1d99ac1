#pragma once

#include <QSize>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/uMemTable.h"
#include "app/uSiteDetails.h"
#include "backoffice/uDayEnd.h"
#include "promo/uPromotions.h"
#include "sale/uGlobalScanner.h"
#include "sale/uSale.h"
#include "sale/uSearch.h"

class TTestModeBand;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class Tdm;
class TClickPanel;
class TfraDefault;
class TfraSearch;
class TfraTopup;
class TfraEngineer;
class TfraManager;
class TfraPayment;
class TfraTransaction;

// The kiosk's one window: a top bar with the site name and clock, the transaction column on
// the right, the pages (sale, search, payment, manager, top-ups, engineer) with a bottom bar
// on the left, and a hidden scan buffer that keeps the keyboard, so the scanner's keystrokes
// and a typed code followed by Enter both end in cmEndScanClick.
//
// The window shows what the sale core (TSale) returns; it runs no SQL itself. Pages change in
// two steps, setting the page and then pcMainChange, both done by ShowPage.
class TFmMain : public QWidget, public TBarcodeSink, private TSaleView {
    Q_OBJECT
public:
    static constexpr QSize DesignSize{1024, 768};

    explicit TFmMain(Tdm& dm, QWidget* parent = nullptr);
    ~TFmMain() override;

    // Returns the screen to its default state: sale page, no sale, updates imported.
    void resetToDefault();
    // Looks a product code up and sells one, or shows "Barcode Not Found".
    void BarcodeScanned(const QString& barcode) override;
    // Every way of selling a product ends here: restrictions, the sale, the line, the panel.
    void AddProductToSale(int sid, const QString& barcode, double quantity, const QString& caption);
    // The same for a scanned item, which may carry its own price or weight.
    void AddItem(const TSaleItem& item);
    // Redraws the totals and the lines of the sale on screen from the database.
    void RefreshTransaction();
    // Records the sale's promotion hits afresh and shows them.
    void EvaluatePromotions();
    void ClearSale();
    // Makes page the active page and runs the page entry.
    void ShowPage(QWidget* page);
    void pcMainChange();

    int salesID() const { return fSalesID; }
    int previousSalesID() const { return fPreviousSalesID; }
    const TMemTable& transactionLines() const { return cdsTX; }
    const TPromoList& promotions() const { return fPromoList; }

    // Handlers of the window's controls.
    void cmEndScanClick();
    void cmVoidLineClick();
    void cmVoidTransactionClick();
    void cmRecallLastTAClick();
    void cmReprintReceiptClick();
    void cmCloseScreenClick();
    void cmShutDownClick();
    void cmLookupClick();
    void cmTopupsClick();
    void cmFinishAndPayClick();
    void cmMOPChipAndPINClick();
    void cmCancelMOPClick();
    void pnTopClick();
    void pnBottomClick();
    void pnl_transClick();
    void tmTimeTimer();
    void cmCloseEngineerScreenClick();
    void pnBrandingColourClick();

    // Steps that the search page, promotions, import, day end and engineer page fill in.
    void LoadSiteDetails();
    bool ImportUpdates();
    void PurgeSales(bool dayEnd);
    void LoadPromotions();
    void InitialiseKeyboard();
    void DayEndCheck();
    void LoadEngineerPage();
    void ClearItemKeys();
    void ShowFilterScreen(TFilterScreenType mode);
    // Asks the terminal about card payments left unsettled (at start, and on the timer while
    // any is); a sale on screen that turns out paid goes on to its receipt.
    void SettlePayments();
    // A touched item key (posted as WM_ITEMKEY): a group key opens its products, a product key
    // sells the product.
    void WMItemKeyClick(int tag);
    // PROMO_MARKER of a line of the product sid: "*" when a loaded promotion names it.
    QString cdsTXBeforePost(int sid);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void FormCreate();
    void SalePaid();
    void FormShow();
    void FormClose();
    void buildScreen();
    QWidget* buildTopBar();
    QWidget* buildBottomBar();
    void buildScanBuffer();
    void bindHandlers();
    void paintBars();
    void focusScanBuffer();
    bool forwardToScanBuffer(QWidget* target, QEvent* event);
    // Asks the quantity of a product picked on the search page and sells it.
    void SellPickedProduct(int sid, const QString& caption);
    void ReopenSale();

    // TSaleView: what adding a product shows or asks on the way.
    void hideScannedProduct() override;
    void showControlledProduct(int limit) override;
    void showTimeRestricted() override;
    TAgeCheck confirmAge(int age) override;

    Tdm& fDm;
    int fSalesID = -1;
    int fPreviousSalesID = -1;
    TFilterScreenType fFilterScreenType = fstUnknown;
    int fSelectedItemKeyGroup = -1;
    TMemTable cdsTX;
    TSiteDetails fSetup;
    TSale fSale;
    TPromoList fPromoList;
    TDayEnd fDayEnd;
    TSearch fSearch;
    std::unique_ptr<TGlobalScanner> fGlobalScanner;
    bool fShown = false;
    QTimer tmTime;
    bool fPaying = false;      // a card payment runs: a second touch starts none
    int fUnsettled = 0;        // card payments waiting to be settled
    int fSettleWaitTicks = 0;  // ticks before the terminal is asked again
    QString fSettleProblem;    // why they wait, logged when it changes

    QWidget* fDesign = nullptr;
    TClickPanel* pnTop = nullptr;
    TTestModeBand* lbTestMode = nullptr;
    QLabel* lbSiteName = nullptr;
    QLabel* lbTime = nullptr;
    TfraTransaction* pnl_trans = nullptr;
    QStackedWidget* pcMain = nullptr;
    TfraDefault* tsDefault = nullptr;
    TfraSearch* tsFind = nullptr;
    TfraPayment* tsMOP = nullptr;
    TfraManager* tsManager = nullptr;
    TfraTopup* tsTopup = nullptr;
    TfraEngineer* tsEngineer = nullptr;
    TClickPanel* pnBottom = nullptr;
    QToolButton* cmAssistance = nullptr;
    QToolButton* cmTopups = nullptr;
    QToolButton* cmLookup = nullptr;
    QLineEdit* ebScanBuffer = nullptr;
    QPushButton* cmEndScan = nullptr;
};

// The clock's text: "Tue, 5. Mar 2024, 14:07:09" in the regional day and month names.
QString ClockText(const QDateTime& now);

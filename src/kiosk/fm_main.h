#pragma once

#include <QSize>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/uMemTable.h"
#include "app/uSiteDetails.h"
#include "backoffice/uDayEnd.h"
#include "kiosk/fra_bars.h"
#include "kiosk/wg_SaleOnScreen.h"
#include "kiosk/wg_ScanRouter.h"
#include "payment/wg_CardPayments.h"
#include "promo/uPromotions.h"
#include "sale/fm_Info.h"
#include "sale/fra_default.h"
#include "sale/fra_search.h"
#include "sale/uGlobalScanner.h"
#include "sale/uSale.h"
#include "sale/uSearch.h"
#include "ui/wg_Window.h"

class QStackedWidget;
class Tdm;
class TTestModeBand;
class TfraTopup;
class TfraEngineer;
class TfraManager;
class TfraPayment;
class TfraTransaction;

// The kiosk's one window: a top bar with the site name and clock, the transaction column on
// the right, the pages (sale, search, payment, manager, top-ups, engineer) with a bottom bar
// on the left, and the scan point (TScanRouter), whose codes end in cmEndScanClick.
//
// The window composes its frames and forwards their signals to the sale core (TSale), the
// checkout and the card payments; it runs no SQL itself. Pages change in two steps, setting
// the page and then pcMainChange, both done by ShowPage.
class TFmMain : public QWidget, public TBarcodeSink, private TSaleView {
    Q_OBJECT
public:
    static constexpr QSize DesignSize = KioskDesignSize;

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
    void RefreshTransaction() { fOnScreen.refresh(); }
    // Records the sale's promotion hits afresh and shows them.
    void EvaluatePromotions() { fOnScreen.evaluatePromotions(); }
    void ClearSale() { fOnScreen.clear(); }
    // Makes page the active page and runs the page entry.
    void ShowPage(QWidget* page);
    void pcMainChange();

    int salesID() const { return fOnScreen.id(); }
    int previousSalesID() const { return fOnScreen.previousId(); }
    const TMemTable& transactionLines() const { return fOnScreen.lines(); }
    const TPromoList& promotions() const { return fOnScreen.promotions(); }

    // Handlers of the window's controls.
    void cmEndScanClick() { fScan->endScan(); }
    void cmVoidLineClick();
    void cmVoidTransactionClick();
    void cmRecallLastTAClick() { fOnScreen.recallLast(); }
    void cmReprintReceiptClick();
    void cmCloseScreenClick();
    void cmShutDownClick();
    void cmLookupClick();
    void cmTopupsClick();
    void cmFinishAndPayClick();
    void cmMOPChipAndPINClick();
    void cmCancelMOPClick();
    void pnTopClick() { fScan->focus(); }
    void pnBottomClick() { fScan->focus(); }
    void pnl_transClick() { fScan->focus(); }
    void tmTimeTimer();
    // A customer's call for help: the shop's command, a tone, and "Help is on its way".
    void cmAssistanceClick();
    void cmCloseEngineerScreenClick();
    void pnBrandingColourClick();

    // Steps that the search page, promotions, import, day end and engineer page fill in.
    void LoadSiteDetails();
    bool ImportUpdates();
    void PurgeSales(bool dayEnd) { fDayEnd.PurgeSales(dayEnd); }
    void LoadPromotions() { fOnScreen.loadPromotions(); }
    void InitialiseKeyboard() { tsFind->InitialiseKeyboard(); }
    void DayEndCheck();
    void LoadEngineerPage();
    void ClearItemKeys() { tsFind->ClearItemKeys(); }
    void ShowFilterScreen(TFilterScreenType mode) { tsFind->ShowFilterScreen(mode); }
    // Asks the terminal about card payments left unsettled (at start, and on the timer while
    // any is); a sale on screen that turns out paid goes on to its receipt.
    void SettlePayments();
    // A touched item key: a group key opens its products, a product key sells the product.
    void WMItemKeyClick(int tag) { tsFind->WMItemKeyClick(tag); }
    // PROMO_MARKER of a line of the product sid: "*" when a loaded promotion names it.
    QString cdsTXBeforePost(int sid) const { return fOnScreen.promoMarker(sid); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildScreen();
    void bindHandlers();
    void FormShow();
    void SalePaid();
    // Asks whether the customer wants a receipt; with speech on, the receipt can be heard first.
    bool WantsReceipt();
    // The sale is over: the next customer finds the kiosk in its standard modes.
    void SaleEnded();
    // What each page asks of the customer, spoken as it shows.
    void describePages();
    void speechSwitched(bool on);
    void paintBars();
    // Asks the quantity of a product picked on the search page and sells it.
    void SellPickedProduct(int sid, const QString& caption);

    // TSaleView: what adding a product shows or asks on the way.
    void hideScannedProduct() override { tsDefault->hideProduct(); }
    void showControlledProduct(int limit) override { ShowControlledProduct(limit, this); }
    void showTimeRestricted() override { ShowTimeRestricted(this); }
    void showStopped(const QString& text) override { ShowStoppedItem(text, this); }
    TAgeCheck confirmAge(int age) override;

    Tdm& fDm;
    TSaleOnScreen fOnScreen;
    TSiteDetails fSetup;
    TDayEnd fDayEnd;
    TSearch fSearch;
    TCardPayments fCardPayments;
    std::unique_ptr<TGlobalScanner> fGlobalScanner;
    bool fShown = false;
    QTimer tmTime;

    QWidget* fDesign = nullptr;
    TfraTopBar* pnTop = nullptr;
    TTestModeBand* lbTestMode = nullptr;
    TfraTransaction* pnl_trans = nullptr;
    QStackedWidget* pcMain = nullptr;
    TfraDefault* tsDefault = nullptr;
    TfraSearch* tsFind = nullptr;
    TfraPayment* tsMOP = nullptr;
    TfraManager* tsManager = nullptr;
    TfraTopup* tsTopup = nullptr;
    TfraEngineer* tsEngineer = nullptr;
    TfraBottomBar* pnBottom = nullptr;
    TScanRouter* fScan = nullptr;
};

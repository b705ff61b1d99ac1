#pragma once

#include <QString>

// Mobile top-up vouchers: three networks in fixed euro values, each voucher sold as the
// product its EAN-13 barcode names.
enum TTopupProvider { tpNone = 0, tpVodafone = 1, tpThree = 2, tpTescoMobile = 3 };

// "VODAFONE", "THREE" or "TESCO MOBILE"; "???" for anything else.
QString ProviderText(int provider);
// "€10.00" ... "€50.00" for 10, 20, 30, 40, 50; "???" for anything else. Fixed euro texts,
// whatever the kiosk's currency.
QString DenonText(int denon);
// The voucher's barcode, or empty when the network has no voucher of that value.
QString VoucherBarcode(int provider, int denon);

// What shows the choice on the confirmation sheet.
struct TTopupView {
    virtual ~TTopupView() = default;
    virtual void showProvider(const QString& text) = 0;
    virtual void showDenon(const QString& text) = 0;
};

// The customer's choice on the top-up page; every change is shown at once.
class TTopup {
public:
    explicit TTopup(TTopupView& owner) : fOwner(owner) {}

    int denon() const { return fDenon; }
    int provider() const { return fProvider; }
    void Setdenon(int value);
    void Setprovider(int value);
    // Forgets the choice: both texts read "???".
    void Clear();
    // The barcode of the chosen voucher, or empty when there is none.
    QString barcode() const { return VoucherBarcode(fProvider, fDenon); }

private:
    int fDenon = 0;
    int fProvider = tpNone;
    TTopupView& fOwner;
};

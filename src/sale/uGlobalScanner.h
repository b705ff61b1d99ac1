#pragma once

#include <QString>

// Whoever handles a scanned code as if it came from the main screen's scan buffer.
struct TBarcodeSink {
    virtual ~TBarcodeSink() = default;
    virtual void BarcodeScanned(const QString& barcode) = 0;
};

// Lets any code feed a barcode into the main screen's product lookup, as a top-up voucher
// does: no operator lookup, the scan buffer is not touched.
class TGlobalScanner {
public:
    explicit TGlobalScanner(TBarcodeSink& owner) : fOwner(owner) {}
    TGlobalScanner(const TGlobalScanner&) = delete;
    TGlobalScanner& operator=(const TGlobalScanner&) = delete;

    void SetBarcode(const QString& value) { fOwner.BarcodeScanned(value); }

private:
    TBarcodeSink& fOwner;
};

// The one scanner, created by the main screen as it is created and cleared when it goes;
// nullptr while there is no main screen.
extern TGlobalScanner* GlobalScanner;

#include "sale/uTopups.h"

namespace {

constexpr int kDenominations[] = {10, 20, 30, 40, 50};
const QString kUnknown = QStringLiteral("???");

// Barcodes by network (VODAFONE, THREE, TESCO MOBILE) and value; empty where the network sells
// no voucher of that value.
const char* const kVouchers[3][5] = {
    {"5391504580071", "5391504580088", "5391504580170", "5391504580095", "5391504580118"},
    {"5050553850008", "5050553850015", "5050553850022", "5050553850039", ""},
    {"5051399756301", "5051399756370", "", "", ""},
};

// The column of a value in the voucher table, or -1.
int DenonIndex(int denon) {
    for (int i = 0; i < 5; ++i)
        if (kDenominations[i] == denon) return i;
    return -1;
}

}  // namespace

QString ProviderText(int provider) {
    switch (provider) {
        case tpVodafone:
            return QStringLiteral("VODAFONE");
        case tpThree:
            return QStringLiteral("THREE");
        case tpTescoMobile:
            return QStringLiteral("TESCO MOBILE");
        default:
            return kUnknown;
    }
}

QString DenonText(int denon) {
    if (DenonIndex(denon) < 0) return kUnknown;
    return QStringLiteral("\u20AC%1.00").arg(denon);
}

QString VoucherBarcode(int provider, int denon) {
    const int column = DenonIndex(denon);
    if (provider < tpVodafone || provider > tpTescoMobile || column < 0) return {};
    return QString::fromLatin1(kVouchers[provider - 1][column]);
}

void TTopup::Setdenon(int value) {
    fDenon = value;
    fOwner.showDenon(DenonText(value));
}

void TTopup::Setprovider(int value) {
    fProvider = value;
    fOwner.showProvider(ProviderText(value));
}

void TTopup::Clear() {
    Setdenon(0);
    Setprovider(tpNone);
}

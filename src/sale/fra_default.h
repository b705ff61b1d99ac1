#pragma once

#include <QWidget>

#include "sale/uSale.h"

class QLabel;
class QFrame;

// The sale page: the invitation to scan, and above it the product scanned last.
class TfraDefault : public QWidget {
    Q_OBJECT
public:
    static const QString DefaultText;
    static const QString NotFoundText;

    explicit TfraDefault(QWidget* parent = nullptr);

    // The accepted product: caption, quantity line and picture from the pictures folder; the
    // picture box shows only when the picture loaded.
    void showProduct(const TScannedProduct& product, const QString& resFolder);
    // "Barcode Not Found" in the product panel, without a picture.
    void showNotFound();
    // Clears the picture and hides the product panel.
    void hideProduct();
    // The invitation text (or another message) in place of the product.
    void showDefaultText(const QString& text);
    // Shows the text again as it was last set.
    void showDefaultText();
    // Whether the product panel (a product or "Barcode Not Found") is shown.
    bool showsProduct() const;

private:
    // In the large text mode the product's panel grows to the lines of its enlarged name.
    void largeTextApplied(bool on);

    QLabel* lbDefaultText = nullptr;
    QFrame* pnScannedProduct = nullptr;
    QFrame* pnScannedProductGlyph = nullptr;
    QLabel* imScannedProduct = nullptr;
    QLabel* lbScannedProduct = nullptr;
    QLabel* lbScannedQty = nullptr;
    QLabel* fScanArt = nullptr;
};

// What a label shows for a caption kept in the mnemonic convention of the product captions:
// "&&" is one ampersand and a single "&" marks a mnemonic, which shows as nothing.
QString ShownCaption(const QString& caption);

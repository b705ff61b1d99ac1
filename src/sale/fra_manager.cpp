#include "sale/fra_manager.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/fra_tile.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_LargeText.h"

namespace {

constexpr QSize TileSize{100, 75};
// Room for three lines of enlarged captions such as "Recall Last Transaction".
constexpr QSize LargeTileSize{200, 120};
const QColor DarkCaption(0x1c, 0x26, 0x36);
// A deep red: white reads on it at 6.5:1 (on pure red only at 4:1).
const QColor ShutDownRed(0xc0, 0x00, 0x00);

TfraTile* MakeTile(const char* name, const char* caption, const QColor& colour,
                   const QColor& captionColour, QWidget* parent) {
    auto* tile = new TfraTile(QString::fromLatin1(name), QString::fromLatin1(caption), colour,
                              captionColour, parent);
    tile->setFixedSize(TileSize);
    return tile;
}

}  // namespace

TfraManager::TfraManager(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsManager"));

    auto* title = new QLabel(QStringLiteral("Manager"), this);
    title->setObjectName(QStringLiteral("lbManagerTitle"));
    title->setFont(KioskFont(KioskFace::Tahoma, 24, true));

    auto* cmVoidLine =
        MakeTile("cmVoidLine", "Void Line", QColor(196, 196, 255), DarkCaption, this);
    auto* cmVoidTransaction =
        MakeTile("cmVoidTransaction", "Void Transaction", QColor(255, 128, 192), DarkCaption, this);
    auto* cmRecallLastTA = MakeTile("cmRecallLastTA", "Recall Last Transaction",
                                    QColor(255, 230, 217), DarkCaption, this);
    auto* cmReprintReceipt = MakeTile("cmReprintReceipt", "Reprint Last Receipt",
                                      QColor(217, 236, 255), DarkCaption, this);
    auto* cmPaymentDoubts =
        MakeTile("cmPaymentDoubts", "Payments in Doubt", QColor(255, 240, 160), DarkCaption, this);
    auto* cmCloseScreen =
        MakeTile("cmCloseScreen", "Close Screen", QColor(198, 255, 198), DarkCaption, this);
    auto* cmShutDown = MakeTile("cmShutDown", "Shut Down System", ShutDownRed, Qt::white, this);

    fSaleTiles = {cmVoidLine, cmVoidTransaction, cmRecallLastTA, cmReprintReceipt, cmPaymentDoubts};
    fTiles = {cmVoidLine,      cmVoidTransaction, cmRecallLastTA, cmReprintReceipt,
              cmPaymentDoubts, cmCloseScreen,     cmShutDown};
    fTileGrid = new QGridLayout;
    fTileGrid->setSpacing(12);
    auto* tiles = new QHBoxLayout;
    tiles->addLayout(fTileGrid);
    tiles->addStretch(1);
    placeTiles(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmCloseScreen);
    bottom->addStretch(1);
    bottom->addWidget(cmShutDown);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(16);
    layout->addWidget(title);
    layout->addLayout(tiles);
    layout->addStretch(1);
    layout->addLayout(bottom);

    connect(cmVoidLine, &TClickPanel::clicked, this, &TfraManager::voidLineClicked);
    connect(cmVoidTransaction, &TClickPanel::clicked, this, &TfraManager::voidTransactionClicked);
    connect(cmRecallLastTA, &TClickPanel::clicked, this, &TfraManager::recallLastClicked);
    connect(cmReprintReceipt, &TClickPanel::clicked, this, &TfraManager::reprintReceiptClicked);
    connect(cmPaymentDoubts, &TClickPanel::clicked, this, &TfraManager::paymentDoubtsClicked);
    MarkEscapeKey(cmCloseScreen);
    connect(cmCloseScreen, &TClickPanel::clicked, this, &TfraManager::closeScreenClicked);
    connect(cmShutDown, &TClickPanel::clicked, this, &TfraManager::shutDownClicked);
    connect(&TLargeText::instance(), &TLargeText::applied, this, &TfraManager::placeTiles);
}

void TfraManager::placeTiles(bool large) {
    const int columns = large ? 2 : int(fSaleTiles.size());
    for (size_t i = 0; i < fSaleTiles.size(); ++i) {
        fTileGrid->removeWidget(fSaleTiles[i]);
        fTileGrid->addWidget(fSaleTiles[i], int(i) / columns, int(i) % columns);
    }
    for (TfraTile* tile : fTiles) tile->setFixedSize(large ? LargeTileSize : TileSize);
}

#pragma once

#include <QWidget>
#include <vector>

class QGridLayout;
class TfraTile;

// The manager page: a row of tiles for the sale on screen, and a bottom strip to leave the
// page or shut the kiosk down. Each tile's touch is reported by a signal of its own.
class TfraManager : public QWidget {
    Q_OBJECT
public:
    explicit TfraManager(QWidget* parent = nullptr);

signals:
    void voidLineClicked();
    void voidTransactionClicked();
    void recallLastClicked();
    void reprintReceiptClicked();
    void paymentDoubtsClicked();
    void closeScreenClicked();
    void shutDownClicked();

private:
    // The sale's tiles: one row at the standard size; two rows of larger tiles in the large
    // text mode, where the enlarged captions need the room.
    void placeTiles(bool large);

    QGridLayout* fTileGrid = nullptr;
    std::vector<TfraTile*> fSaleTiles;
    std::vector<TfraTile*> fTiles;
};

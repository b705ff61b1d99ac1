#pragma once

#include <QWidget>

class TfraTile;

// The manager page: a row of tiles for the sale on screen, and a bottom strip to leave the
// page or shut the kiosk down. The main screen binds the tiles to its handlers.
class TfraManager : public QWidget {
    Q_OBJECT
public:
    explicit TfraManager(QWidget* parent = nullptr);

    TfraTile* cmVoidLine = nullptr;
    TfraTile* cmVoidTransaction = nullptr;
    TfraTile* cmRecallLastTA = nullptr;
    TfraTile* cmReprintReceipt = nullptr;
    TfraTile* cmCloseScreen = nullptr;
    TfraTile* cmShutDown = nullptr;
};

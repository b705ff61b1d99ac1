#pragma once

#include <QEvent>

#include "sale/uSearch.h"
#include "ui/fra_tile.h"

class QLabel;

// The message an item key posts to the main screen: the first user message, carrying the
// key's Tag as its first parameter and the number of the page of keys it was on as its second,
// so a touch that was queued while the page changed is told from a touch on the new page.
inline constexpr QEvent::Type WM_ITEMKEY = QEvent::Type(1025);

class TItemKeyMessage : public QEvent {
public:
    TItemKeyMessage(int wParam, int lParam) : QEvent(WM_ITEMKEY), wParam(wParam), lParam(lParam) {}
    const int wParam;
    const int lParam;
};

// A key of the search page: a picture above a caption. A touch on it posts WM_ITEMKEY with the
// key's Tag to the message container, so the screen acts on it after the touch has been
// handled and may free every key, this one included.
class TfraItemKey : public TClickPanel {
    Q_OBJECT
public:
    static constexpr QSize DesignSize{120, 140};
    static constexpr int CaptionHeight = 43;

    TfraItemKey(QWidget* owner, QObject* messageContainer);

    // Makes the key stand for an item: name, Tag, size, caption, colours and the picture from
    // resFolder. A key may be given one item after another.
    void setKey(const TItemKey& key, const QSize& size, const QString& resFolder);
    // Hides the key and forgets its item, so it can be given another.
    void clearKey();

    int Tag = 0;
    int Page = 0;  // the page of keys the key is on
    TItemKeyKind Kind = TItemKeyKind::Product;

private:
    void ControlClick();

    // The picture shows where it has room: in the large text mode the caption has the key.
    void showPicture();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    bool fPictured = false;

    QObject* fMessageContainer;
};

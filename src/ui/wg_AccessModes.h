#pragma once

#include <QObject>

// The customer's accessible modes: the kiosk speaks, and its text is large on a high-contrast
// palette. A customer switches each on with a key on the screen or on the keypad; both end with
// the sale, so the next customer finds the kiosk as it always is.
class TAccessModes : public QObject {
    Q_OBJECT
public:
    static TAccessModes& instance();

    bool speech() const { return fSpeech; }
    bool largeText() const { return fLargeText; }
    bool any() const { return fSpeech || fLargeText; }

    void setSpeech(bool on);
    void setLargeText(bool on);
    void toggleSpeech() { setSpeech(!fSpeech); }
    void toggleLargeText() { setLargeText(!fLargeText); }
    // The sale is over: both modes end.
    void endOfSale();

    // How long a message that goes by itself stays: longer in an accessible mode, where it is
    // read slowly or heard to its end.
    int timedMessageMs(int standardMs) const { return any() ? standardMs * 3 : standardMs; }

signals:
    void speechChanged(bool on);
    void largeTextChanged(bool on);

private:
    TAccessModes() = default;

    bool fSpeech = false;
    bool fLargeText = false;
};

#include "ui/wg_AccessModes.h"

#include "app/uSpeech.h"

TAccessModes& TAccessModes::instance() {
    static TAccessModes modes;
    return modes;
}

void TAccessModes::setSpeech(bool on) {
    if (fSpeech == on) return;
    fSpeech = on;
    TSpeaker::instance().setEnabled(on);
    emit speechChanged(on);
}

void TAccessModes::setLargeText(bool on) {
    if (fLargeText == on) return;
    fLargeText = on;
    emit largeTextChanged(on);
}

void TAccessModes::endOfSale() {
    setSpeech(false);
    setLargeText(false);
}

#pragma once

#include <functional>

// Sounds the kiosk's call tone: two short beeps from the default audio output, played while the
// kiosk goes on. A kiosk without sound plays nothing and goes on.
void SoundCallTone();

// Tests hear the tone here instead; an empty player restores the speaker.
void SetTonePlayer(std::function<void()> player);

#pragma once

// Lets ms milliseconds pass on the user-interface thread while the screens stay alive: sleeps
// stepMs at a time and processes the pending events after each sleep.
void WaitProcessingEvents(int ms, int stepMs = 100);

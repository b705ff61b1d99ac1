#pragma once

// Lets ms milliseconds pass on the terminal service's thread while its connections and its PIN
// pad window stay alive: sleeps stepMs at a time and processes the pending events after each
// sleep. (The kiosk waits through its busy scope; its core pumps no events.)
void WaitProcessingEvents(int ms, int stepMs = 100);

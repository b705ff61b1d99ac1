#pragma once

class QKeyEvent;
class QLineEdit;
class QWidget;

// A window's scan point, the hidden scan buffer and its Enter button, lies behind the screen
// where no customer sees it: it is neither read aloud nor a key to move to. The scanner types
// into the buffer, whatever control of the window holds the focus.

void MarkScanPoint(QWidget& widget);
bool IsScanPoint(const QWidget& widget);
// The buffer is the scan point that takes the characters; its accessible name is "Barcode".
// It keeps the GS1 group separator, which a line edit would drop as a control character.
void MarkScanBuffer(QLineEdit& buffer);
bool IsScanBuffer(const QWidget* widget);
// The scan buffer of window, or nullptr when it has none.
QLineEdit* ScanBufferOf(const QWidget* window);

// Controls that take typed text for themselves; keys aimed at them stay there.
bool TakesTypedText(const QWidget& widget);
// Characters a scanner (or a person typing a code) sends, the group separator and Backspace;
// Enter is not one.
bool IsScanCharacter(const QKeyEvent& key);
// The GS1 group separator (ASCII 29), which a keyboard-wedge scanner types as Ctrl+].
bool IsGroupSeparatorKey(const QKeyEvent& key);
bool IsEnterKey(const QKeyEvent& key);
// Hands a copy of key to buffer, where the focus may not be.
void SendToScanBuffer(QLineEdit& buffer, const QKeyEvent& key);

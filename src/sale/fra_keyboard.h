#pragma once

#include <QWidget>

class QGridLayout;
class QPushButton;

// The on-screen keyboard: a letter grid (10 x 4) and a numeric keypad (3 x 4). Every key reports
// its Tag and caption through keyClicked: Tag 1 is "←", 2 "Space", 3 "Clear", and every other key
// has Tag 0 and types its caption. Keys never take the keyboard focus, so the scan buffer keeps
// it. The host binds keyClicked to its own handler.
class TfraKeyboard : public QWidget {
    Q_OBJECT
public:
    static constexpr int TagCharacter = 0;
    static constexpr int TagBackspace = 1;
    static constexpr int TagSpace = 2;
    static constexpr int TagClear = 3;

    explicit TfraKeyboard(QWidget* parent = nullptr);

    // Style 0: letters and keypad; style 1: the keypad alone, over the whole width. Either way
    // "←" spans 2 columns, "Space" 6 and "Clear" 2.
    void Initialise(int style);

    // The key with this caption, or nullptr.
    QPushButton* key(const QString& caption) const;

signals:
    void keyClicked(int tag, const QString& caption);

private:
    QPushButton* addKey(QGridLayout* grid, const QString& caption, int tag, int row, int column);
    void span(QGridLayout* grid, QPushButton* key, int columns);

    QWidget* fLetters = nullptr;
    QWidget* fKeypad = nullptr;
    QGridLayout* fLetterGrid = nullptr;
    QGridLayout* fKeypadGrid = nullptr;
    QPushButton* fBackspace = nullptr;
    QPushButton* fSpace = nullptr;
    QPushButton* fClear = nullptr;
};

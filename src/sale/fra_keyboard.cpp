#include "sale/fra_keyboard.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

// Shares of the width: letters 77 %, keypad 23 %.
constexpr int LetterShare = 77;
constexpr int KeypadShare = 23;

const char* const LetterRows[] = {"QWERTYUIOP", "ASDFGHJKL@", "ZXCVBNM?", "#"};
const char* const KeypadRows[] = {"789", "456", "123"};

QGridLayout* MakeGrid(QWidget* owner, int columns, int rows) {
    auto* grid = new QGridLayout(owner);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(3);
    for (int c = 0; c < columns; ++c) grid->setColumnStretch(c, 1);
    for (int r = 0; r < rows; ++r) grid->setRowStretch(r, 1);
    return grid;
}

}  // namespace

TfraKeyboard::TfraKeyboard(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fraKeyboard1"));
    setFont(KioskFont(KioskFace::Tahoma, 16, true));

    fLetters = new QWidget(this);
    fLetters->setObjectName(QStringLiteral("pnLetters"));
    fLetterGrid = MakeGrid(fLetters, 10, 4);
    for (int row = 0; row < 4; ++row) {
        const QString keys = QString::fromLatin1(LetterRows[row]);
        for (int column = 0; column < keys.size(); ++column)
            addKey(fLetterGrid, keys.mid(column, 1), TagCharacter, row, column);
    }
    fBackspace = addKey(fLetterGrid, QStringLiteral("\u2190"), TagBackspace, 2, 8);
    fSpace = addKey(fLetterGrid, QStringLiteral("Space"), TagSpace, 3, 1);
    addKey(fLetterGrid, QStringLiteral(","), TagCharacter, 3, 7);
    addKey(fLetterGrid, QStringLiteral("."), TagCharacter, 3, 8);
    addKey(fLetterGrid, QStringLiteral("/"), TagCharacter, 3, 9);

    fKeypad = new QWidget(this);
    fKeypad->setObjectName(QStringLiteral("pnKeypad"));
    fKeypadGrid = MakeGrid(fKeypad, 3, 4);
    for (int row = 0; row < 3; ++row) {
        const QString keys = QString::fromLatin1(KeypadRows[row]);
        for (int column = 0; column < keys.size(); ++column)
            addKey(fKeypadGrid, keys.mid(column, 1), TagCharacter, row, column);
    }
    fClear = addKey(fKeypadGrid, QStringLiteral("Clear"), TagClear, 3, 0);
    addKey(fKeypadGrid, QStringLiteral("0"), TagCharacter, 3, 2);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(fLetters, LetterShare);
    layout->addWidget(fKeypad, KeypadShare);
}

QPushButton* TfraKeyboard::addKey(QGridLayout* grid, const QString& caption, int tag, int row,
                                  int column) {
    auto* key = new QPushButton(caption, grid->parentWidget());
    key->setObjectName(QStringLiteral("key_") + caption);
    key->setProperty("Tag", tag);
    MakeKeypadKey(key);
    key->setAutoDefault(false);
    key->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    grid->addWidget(key, row, column);
    connect(key, &QPushButton::clicked, this,
            [this, tag, caption] { emit keyClicked(tag, caption); });
    return key;
}

void TfraKeyboard::span(QGridLayout* grid, QPushButton* key, int columns) {
    int row = 0, column = 0, rows = 0, oldColumns = 0;
    grid->getItemPosition(grid->indexOf(key), &row, &column, &rows, &oldColumns);
    grid->removeWidget(key);
    grid->addWidget(key, row, column, 1, columns);
}

void TfraKeyboard::Initialise(int style) {
    span(fLetterGrid, fBackspace, 2);
    span(fLetterGrid, fSpace, 6);
    span(fKeypadGrid, fClear, 2);
    fLetters->setVisible(style != 1);
    auto* layout = static_cast<QHBoxLayout*>(this->layout());
    layout->setStretch(0, style == 1 ? 0 : LetterShare);
    layout->setStretch(1, style == 1 ? 100 : KeypadShare);
}

QPushButton* TfraKeyboard::key(const QString& caption) const {
    for (QPushButton* key : findChildren<QPushButton*>())
        if (key->text() == caption) return key;
    return nullptr;
}

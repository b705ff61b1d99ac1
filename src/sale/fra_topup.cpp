#include "sale/fra_topup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/AdvDialogs.h"
#include "ui/fm_mainArt.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

constexpr QSize ChoiceSize{176, 100};
constexpr int ChoiceGap = 8;
constexpr int HeaderHeight = 43;
constexpr QSize PictureButtonSize{150, 150};
constexpr int PictureSize = 96;
const QColor Teal(0, 128, 128);
const QColor ConfirmGreen(0x2e, 0x9d, 0x4a);
const QColor BackAmber(0xe0, 0x8a, 0x1e);

QPushButton* MakeChoice(const QString& name, const QString& caption, int tag, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setProperty("Tag", tag);
    button->setFixedSize(ChoiceSize);
    button->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    MakeKeypadKey(button);
    button->setAutoDefault(false);
    return button;
}

QToolButton* MakePictureButton(const QString& name, const QPixmap& picture, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(PictureSize, PictureSize));
    button->setFixedSize(PictureButtonSize);
    MakeKeypadKey(button);
    return button;
}

QLabel* MakeLabel(const QString& name, const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    SetPaletteColour(*label, QPalette::WindowText, KioskTextColour);
    return label;
}

QWidget* MakeSheet(const QString& name, QWidget* parent) {
    auto* sheet = new QWidget(parent);
    sheet->setObjectName(name);
    return sheet;
}

}  // namespace

TfraTopup::TfraTopup(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsTopup"));

    pnTopupHeader = new QLabel(this);
    pnTopupHeader->setObjectName(QStringLiteral("pnTopupHeader"));
    pnTopupHeader->setFixedHeight(HeaderHeight);
    pnTopupHeader->setFont(KioskFont(KioskFace::Tahoma, 27));
    pnTopupHeader->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnTopupHeader->setAutoFillBackground(true);
    SetPaletteColour(*pnTopupHeader, QPalette::Window, Teal);
    SetPaletteColour(*pnTopupHeader, QPalette::WindowText, Qt::white);

    pcTopUp = new QStackedWidget(this);
    pcTopUp->setObjectName(QStringLiteral("pcTopUp"));
    pcTopUp->addWidget(buildProviderSheet());
    pcTopUp->addWidget(buildDenominationSheet());
    pcTopUp->addWidget(buildConfirmationSheet());

    cmTopupCancel = new QPushButton(QStringLiteral("Cancel\nTop-Up"), this);
    cmTopupCancel->setObjectName(QStringLiteral("cmTopupCancel"));
    cmTopupCancel->setFixedSize(160, 75);
    cmTopupCancel->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    cmTopupCancel->setIcon(QIcon(CancelArt(40, QColor(0xc6, 0x28, 0x28))));
    cmTopupCancel->setIconSize(QSize(40, 40));
    cmTopupCancel->setAutoDefault(false);
    MakeKeypadKey(cmTopupCancel);
    MarkEscapeKey(cmTopupCancel);
    connect(cmTopupCancel, &QPushButton::clicked, this, &TfraTopup::cmTopupCancelClick);

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(16, 0, 16, 16);
    footer->addStretch(1);
    footer->addWidget(cmTopupCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnTopupHeader);
    layout->addWidget(pcTopUp, 1);
    layout->addLayout(footer);

    fTopup.Clear();
}

QWidget* TfraTopup::buildProviderSheet() {
    QWidget* sheet = MakeSheet(QStringLiteral("tsTopupProvider"), pcTopUp);
    auto* row = new QHBoxLayout;
    row->setSpacing(ChoiceGap);
    const std::pair<const char*, int> providers[] = {
        {"VODAFONE", tpVodafone}, {"THREE", tpThree}, {"TESCO", tpTescoMobile}};
    for (const auto& [caption, provider] : providers) {
        QPushButton* button = MakeChoice(QStringLiteral("cmProvider") + QString::number(provider),
                                         QString::fromLatin1(caption), provider, sheet);
        connect(button, &QPushButton::clicked, this,
                [this, provider] { cmTopupProviderClick(provider); });
        row->addWidget(button);
    }
    auto* layout = new QVBoxLayout(sheet);
    layout->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(2);
    row->insertStretch(0, 1);
    row->addStretch(1);
    return sheet;
}

QWidget* TfraTopup::buildDenominationSheet() {
    QWidget* sheet = MakeSheet(QStringLiteral("tsTopupDenomination"), pcTopUp);
    auto* grid = new QGridLayout;
    grid->setSpacing(ChoiceGap);
    const int values[] = {10, 20, 30, 40, 50};
    for (int i = 0; i < 5; ++i) {
        const int denon = values[i];
        QPushButton* button = MakeChoice(QStringLiteral("cmDenon") + QString::number(denon),
                                         DenonText(denon), denon, sheet);
        connect(button, &QPushButton::clicked, this,
                [this, denon] { pnTopupDenominationClick(denon); });
        grid->addWidget(button, i / 3, i % 3);
    }
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addLayout(grid);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(sheet);
    layout->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(2);
    return sheet;
}

QWidget* TfraTopup::buildConfirmationSheet() {
    QWidget* sheet = MakeSheet(QStringLiteral("tsTopUpConfirmation"), pcTopUp);
    QLabel* prompt = MakeLabel(QStringLiteral("lbTopupConfirm"),
                               QStringLiteral("Please confirm that the details below are correct"),
                               KioskFont(KioskFace::Tahoma, 21), sheet);
    prompt->setWordWrap(true);
    prompt->setAlignment(Qt::AlignCenter);
    const QFont captionFont = KioskFont(KioskFace::Tahoma, 24);
    const QFont valueFont = KioskFont(KioskFace::Tahoma, 24, true);
    lbTopupProvider = MakeLabel(QStringLiteral("lbTopupProvider"), {}, valueFont, sheet);
    lbTopupDenon = MakeLabel(QStringLiteral("lbTopupDenon"), {}, valueFont, sheet);
    auto* details = new QGridLayout;
    details->setHorizontalSpacing(16);
    details->addWidget(MakeLabel({}, QStringLiteral("Provider:"), captionFont, sheet), 0, 0,
                       Qt::AlignRight);
    details->addWidget(lbTopupProvider, 0, 1);
    details->addWidget(MakeLabel({}, QStringLiteral("Value:"), captionFont, sheet), 1, 0,
                       Qt::AlignRight);
    details->addWidget(lbTopupDenon, 1, 1);

    cmTopupConfirm = MakePictureButton(QStringLiteral("cmTopupConfirm"),
                                       ConfirmArt(PictureSize, ConfirmGreen), sheet);
    cmTopupAbort =
        MakePictureButton(QStringLiteral("cmTopupAbort"), BackArt(PictureSize, BackAmber), sheet);
    // Picture-only keys, named for a screen reader.
    cmTopupConfirm->setAccessibleName(QStringLiteral("Confirm top-up"));
    cmTopupAbort->setAccessibleName(QStringLiteral("Back"));
    connect(cmTopupConfirm, &QToolButton::clicked, this, &TfraTopup::cmTopupConfirmClick);
    connect(cmTopupAbort, &QToolButton::clicked, this, &TfraTopup::cmTopupAbortClick);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(48);
    buttons->addStretch(1);
    buttons->addWidget(cmTopupConfirm);
    buttons->addWidget(cmTopupAbort);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(32, 16, 32, 0);
    layout->setSpacing(16);
    layout->addWidget(prompt);
    auto* detailRow = new QHBoxLayout;
    detailRow->addStretch(1);
    detailRow->addLayout(details);
    detailRow->addStretch(1);
    layout->addLayout(detailRow);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return sheet;
}

void TfraTopup::showSheet(Sheet sheet) {
    pcTopUp->setCurrentIndex(sheet);
    pcTopUpChange();
}

void TfraTopup::pcTopUpChange() {
    switch (pcTopUp->currentIndex()) {
        case tsTopupProvider:
            pnTopupHeader->setText(QStringLiteral("   Select Top-Up Provider"));
            fTopup.Clear();
            break;
        case tsTopupDenomination:
            pnTopupHeader->setText(QStringLiteral("   Select Denomination"));
            break;
        case tsTopUpConfirmation:
            pnTopupHeader->setText(QStringLiteral("   Confirm Voucher"));
            break;
    }
}

void TfraTopup::cmTopupProviderClick(int provider) {
    fTopup.Setprovider(provider);
    showSheet(tsTopupDenomination);
}

void TfraTopup::pnTopupDenominationClick(int denon) {
    fTopup.Setdenon(denon);
    showSheet(tsTopUpConfirmation);
}

// Whatever selling the voucher did, the choice is forgotten and the page is left.
void TfraTopup::cmTopupConfirmClick() {
    const QString barcode = fTopup.barcode();
    const auto leave = qScopeGuard([this] {
        fTopup.Clear();
        emit closeRequested();
    });
    if (barcode.isEmpty())
        ShowInformation(QStringLiteral("Sorry, this top-up is not available"));
    else
        emit voucherChosen(barcode);
}

void TfraTopup::cmTopupAbortClick() {
    fTopup.Clear();
    showSheet(tsTopupProvider);
}

void TfraTopup::cmTopupCancelClick() {
    fTopup.Clear();
    emit closeRequested();
}

void TfraTopup::showProvider(const QString& text) {
    lbTopupProvider->setText(text);
}

void TfraTopup::showDenon(const QString& text) {
    lbTopupDenon->setText(text);
}

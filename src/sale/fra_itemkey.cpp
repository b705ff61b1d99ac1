#include "sale/fra_itemkey.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "app/uText.h"
#include "sale/fra_default.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_ResImage.h"

namespace {

constexpr int PictureMargin = 5;
const QColor DesignColour = WinColour(kItemKeyDesignColour);

}  // namespace

TfraItemKey::TfraItemKey(QWidget* owner, QObject* messageContainer)
    : TClickPanel(owner), fMessageContainer(messageContainer) {
    resize(DesignSize);
    setFrameShape(QFrame::StyledPanel);
    setColour(DesignColour);
    setFont(KioskFont(KioskFace::Bahnschrift, 16));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    // Its own font: under the style sheet a child does not take its parent's font.
    Label1->setFont(font());
    SetPaletteColour(*Label1, QPalette::WindowText, KioskTextColour);
    // The caption and the picture are the key: a touch on either is a touch on the key.
    for (QLabel* part : {Image1, Label1}) part->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(PictureMargin, PictureMargin, PictureMargin, 0);
    layout->setSpacing(0);
    layout->addWidget(Image1, 1);
    layout->addWidget(Label1);

    MakeKeypadKey(this);
    connect(this, &TClickPanel::clicked, this, &TfraItemKey::ControlClick);
    connect(&TLargeText::instance(), &TLargeText::applied, this, &TfraItemKey::showPicture);
}

void TfraItemKey::setKey(const TItemKey& key, const QSize& size, const QString& resFolder) {
    setObjectName(key.name);
    Tag = key.tag;
    Kind = key.kind;
    resize(size);
    Label1->setText(ShownCaption(key.caption));
    // A screen reader reads the caption as written; a key without one is named by its picture.
    const QString spoken = PlainCaption(key.caption);
    setAccessibleName(spoken.isEmpty() ? key.picture : spoken);
    setColour(key.colour ? WinColour(*key.colour) : DesignColour);
    SetPaletteColour(*Label1, QPalette::WindowText,
                     key.captionColour ? WinColour(*key.captionColour) : KioskTextColour);
    // The picture's room is set before it is loaded, so it is fitted to the key.
    Image1->resize(size.width() - 2 * PictureMargin, size.height() - PictureMargin - CaptionHeight);
    const bool pictured = key.kind == TItemKeyKind::Found
                              ? LoadStoredImage(key.picture, Image1, resFolder)
                              : LoadResImage(key.picture, Image1, resFolder);
    fPictured = pictured;
    showPicture();
}

// Without a picture the caption has the whole key.
void TfraItemKey::showPicture() {
    const bool shown = fPictured && !TLargeText::instance().on();
    Image1->setVisible(shown);
    Label1->setMinimumHeight(shown ? CaptionHeight : 0);
    Label1->setMaximumHeight(shown ? CaptionHeight : QWIDGETSIZE_MAX);
}

void TfraItemKey::clearKey() {
    hide();
    setObjectName({});
    Tag = 0;
    Image1->clear();
}

void TfraItemKey::ControlClick() {
    QCoreApplication::postEvent(fMessageContainer, new TItemKeyMessage(Tag, Page));
}

#include "backoffice/fm_importUpdates.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <memory>
#include <optional>

#include "ui/wg_ActivityIndicator.h"
#include "ui/wg_Fonts.h"

namespace {

constexpr int kIndicatorSize = 96;

// Keeps a window from taking input for as long as it lives, then gives back what it had,
// including the keyboard focus: the main screen's scan buffer must have it again, or the next
// scan would go nowhere.
class InputBlock {
public:
    explicit InputBlock(QWidget* window)
        : window_(window),
          focus_(QApplication::focusWidget()),
          wasEnabled_(window && window->isEnabled()) {
        if (window_) window_->setEnabled(false);
    }
    ~InputBlock() {
        if (window_) window_->setEnabled(wasEnabled_);
        if (focus_ && focus_->isEnabled()) {
            focus_->activateWindow();
            focus_->setFocus();
        }
    }
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
    bool wasEnabled_;
};

}  // namespace

TfmImportUpdates::TfmImportUpdates(QWidget* parent) : TfmBaseDialog(parent) {
    setObjectName(QStringLiteral("fmImportUpdates"));
    setHeaderCaption(QStringLiteral("System Update"));
    QWidget* client = clientArea();
    const int width = ClientSize.width();

    lbPleaseWait = new QLabel(QStringLiteral("Please Wait..."), client);
    lbPleaseWait->setObjectName(QStringLiteral("lbPleaseWait"));
    lbPleaseWait->setAlignment(Qt::AlignCenter);
    lbPleaseWait->setFont(KioskFont(KioskFace::Tahoma, 21));
    lbPleaseWait->setGeometry(0, HeaderHeight + 90, width, 40);

    ActivityIndicator1 = new TActivityIndicator(client);
    ActivityIndicator1->setObjectName(QStringLiteral("ActivityIndicator1"));
    ActivityIndicator1->setGeometry((width - kIndicatorSize) / 2, HeaderHeight + 160,
                                    kIndicatorSize, kIndicatorSize);
    ActivityIndicator1->setAnimate(true);
}

bool ImportUpdates(fb::Connection& conx, const ImportFolders& folders, QWidget* mainScreen) {
    std::optional<InputBlock> block;
    std::unique_ptr<TfmImportUpdates> window;
    ImportView view;
    view.keepAlive = [] { QCoreApplication::processEvents(); };
    view.filesStarting = [&] {
        block.emplace(mainScreen);
        // Not a child of the main screen, which is disabled meanwhile.
        window = std::make_unique<TfmImportUpdates>();
        window->show();
        window->raise();
        QCoreApplication::processEvents();
    };
    view.filesDone = [&] {
        window.reset();
        block.reset();
    };
    return ImportUpdatesPass(conx, folders, view).anyApplied();
}

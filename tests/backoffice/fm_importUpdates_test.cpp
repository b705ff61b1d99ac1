#include "backoffice/fm_importUpdates.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include "support/TestDatabases.h"
#include "ui/wg_ActivityIndicator.h"

namespace {

// Records how the import window looked, and how the main screen stood, when the window was
// shown.
class ImportWindowWatcher : public QObject {
public:
    explicit ImportWindowWatcher(const QWidget& mainScreen) : mainScreen_(mainScreen) {
        qApp->installEventFilter(this);
    }
    ~ImportWindowWatcher() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* object, QEvent* event) override {
        auto* window = qobject_cast<TfmImportUpdates*>(object);
        if (window && event->type() == QEvent::Show) {
            ++shown;
            header = window->findChild<QLabel*>(QStringLiteral("pnHeader"))->text();
            text = window->lbPleaseWait->text();
            turning = window->ActivityIndicator1->animate();
            mainScreenEnabled = mainScreen_.isEnabled();
        }
        return false;
    }

    int shown = 0;
    QString header, text;
    bool turning = false;
    bool mainScreenEnabled = true;

private:
    const QWidget& mainScreen_;
};

class ImportUpdatesWindowTest : public ::testing::Test {
protected:
    ImportUpdatesWindowTest() : folders_(ImportFolders::ofDataFolder(db_.folder())) {
        QDir().mkpath(folders_.importFolder);
        mainScreen_.show();
        mainScreen_.activateWindow();
        scanBuffer_->setFocus();
        SettleEvents();
    }

    // Window activation arrives through the event loop.
    static void SettleEvents() {
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
    }

    void drop(const QString& name, const QByteArray& bytes) {
        QFile file(folders_.importFolder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    bool import() { return ImportUpdates(db_.kiosk(), folders_, &mainScreen_); }

    TestDatabases db_;
    ImportFolders folders_;
    QWidget mainScreen_;
    QLineEdit* scanBuffer_ = new QLineEdit(&mainScreen_);
    ImportWindowWatcher watcher_{mainScreen_};
};

TEST_F(ImportUpdatesWindowTest, ShownWhileFilesAreAppliedWithTheMainScreenClosedToInput) {
    drop(QStringLiteral("update.json"),
         R"({"site1": "Glenbeg", "site2": "", "phone": "", "vatno": ""})");

    EXPECT_TRUE(import());

    EXPECT_EQ(watcher_.shown, 1);
    EXPECT_EQ(watcher_.header, QStringLiteral("System Update"));
    EXPECT_EQ(watcher_.text, QStringLiteral("Please Wait..."));
    EXPECT_TRUE(watcher_.turning);
    EXPECT_FALSE(watcher_.mainScreenEnabled);
    EXPECT_TRUE(mainScreen_.isEnabled());
    SettleEvents();
    EXPECT_EQ(QApplication::focusWidget(), scanBuffer_);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TfmImportUpdates*>(w), nullptr);
}

TEST_F(ImportUpdatesWindowTest, PicturesAloneShowNoWindowAndImportNothing) {
    drop(QStringLiteral("key.png"), "png");

    EXPECT_FALSE(import());

    EXPECT_EQ(watcher_.shown, 0);
    EXPECT_TRUE(QFile::exists(folders_.resFolder + QStringLiteral("key.png")));
    EXPECT_TRUE(mainScreen_.isEnabled());
}

}  // namespace

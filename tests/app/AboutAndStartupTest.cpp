#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/AboutDialog.h"
#include "app/DownloaderApp.h"
#include "res/StringTable.h"
#include "support/RecordingDialogService.h"
#include "ui/QtDialogService.h"

namespace imgdl::test {
namespace {

TEST(AboutDialog, ShowsIconNameAndVersionWithOkAsDefault) {
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), "Quorvel Information");
    EXPECT_EQ(QFontInfo(about.font()).pointSize(), 9);
    auto* icon = about.findChild<QLabel*>("aboutIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    auto* text = about.findChild<QLabel*>("aboutText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "Quorvel Ver 1.3");
    auto* ok = about.findChild<QPushButton*>("okButton");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutDialog, ClosesWithOkEnterAndEsc) {
    const struct {
        Qt::Key key;
        int result;
    } cases[] = {{Qt::Key_Return, QDialog::Accepted}, {Qt::Key_Escape, QDialog::Rejected}};
    for (const auto& c : cases) {
        AboutDialog about;
        QTimer::singleShot(0, &about, [&] { QTest::keyClick(&about, c.key); });
        EXPECT_EQ(about.exec(), c.result) << c.key;
    }
    AboutDialog about;
    QTimer::singleShot(0, &about, [&] { about.findChild<QPushButton*>("okButton")->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

TEST(DownloaderApp, WithoutSocketsShowsOnlyTheMessageAndFails) {
    RecordingDialogService service;
    DownloaderApp app(service, [] { return false; });
    EXPECT_NE(app.run(), 0);
    EXPECT_EQ(service.texts(),
              std::vector<std::string>{std::string(LoadString(IDS_SOCKETS_INIT_FAILED))});
    EXPECT_TRUE(service.modalTitles.empty());
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
}

// However the main dialog closes, the run is over and the program ends normally.
TEST(DownloaderApp, EndsWhenTheMainDialogCloses) {
    const std::function<void(QDialog&)> closers[] = {
        [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](QDialog& d) { d.findChild<QPushButton*>("exitButton")->click(); },
        [](QDialog& d) { d.close(); },  // the close box
    };
    for (const auto& closeIt : closers) {
        RecordingDialogService service;
        int starts = 0;
        DownloaderApp app(service, [&] { return ++starts == 1; });
        service.modalHandlers.push_back([&](QDialog& d) {
            QTimer::singleShot(0, &d, [&] { closeIt(d); });
            return d.exec();
        });
        EXPECT_EQ(app.run(), 0);
        EXPECT_EQ(starts, 1);
        EXPECT_EQ(service.modalTitles, std::vector<std::string>{"Image Downloader"});
        EXPECT_TRUE(service.messages.empty());
    }
}

// A window manager shows minimise and maximise unless the window says it is a dialog with
// a close button only; the caption must fit in its title bar.
void ExpectCaptionedDialog(const QWidget& window) {
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    const int caption =
        QFontMetrics(QGuiApplication::font()).horizontalAdvance(window.windowTitle());
    EXPECT_GT(window.width(), caption + 60) << window.windowTitle().toStdString();
}

TEST(DialogWindows, MessageBoxesAndTheAboutBoxHaveOnlyACloseButton) {
    for (const MessageButtons buttons : {MessageButtons::Ok, MessageButtons::YesNo}) {
        QtDialogService service;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_EQ(box->windowTitle(), ProgramName());
            ExpectCaptionedDialog(*box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        static_cast<MessageService&>(service).showMessage("OK", buttons);
        EXPECT_TRUE(seen);
    }
    AboutDialog about;
    about.show();
    ExpectCaptionedDialog(about);
}

}  // namespace
}  // namespace imgdl::test

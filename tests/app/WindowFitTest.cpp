// Every window on a screen smaller than itself: its frame stays within the screen's
// available area, its buttons stay whole and in sight, and what does not fit scrolls
// into view when the focus moves to it. Run once more by ctest at a scale factor of 2,
// where the offscreen screen is half as large in logical pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <functional>
#include <memory>

#include "app/AboutDialog.h"
#include "app/DownloaderDialog.h"
#include "ptz/PtzDatabase.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "support/RecordingDialogService.h"
#include "ui/WindowFit.h"

namespace imgdl::test {
namespace {

struct WindowCase {
    const char* what;
    std::function<std::unique_ptr<QWidget>(DialogService&)> make;
    std::vector<const char*> buttons;
};

const PtzDatabase kNoProtocols;

std::vector<WindowCase> Windows() {
    return {
        {"main dialog",
         [](DialogService& s) { return std::make_unique<DownloaderDialog>(s); },
         {"downloadButton", "exitButton"}},
        {"PTZ data editor",
         [](DialogService& s) {
             return std::make_unique<PtzDataEditorDialog>(s, PtzProtocol::MakeNew(7), kNoProtocols,
                                                          -1);
         },
         {"okButton", "cancelButton"}},
        {"PTZ image creator",
         [](DialogService& s) {
             ThePtzCreatorProcessState() = {};
             return std::make_unique<PtzImageCreatorDialog>(s);
         },
         {"closeButton"}},
        {"about box", [](DialogService&) { return std::make_unique<AboutDialog>(); }, {"okButton"}},
    };
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Whole and in sight: nothing of it is cut off by the window or a scrolled area.
void ExpectWholeInSight(const QWidget& window, const char* name, const char* what) {
    const auto* control = window.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr) << what << ": " << name;
    EXPECT_TRUE(control->isVisible()) << what << ": " << name;
    EXPECT_EQ(control->visibleRegion(), QRegion(control->rect())) << what << ": " << name;
}

void ExpectFrameWithin(const QWidget& window, const QRect& area, const char* what) {
    EXPECT_TRUE(area.contains(window.frameGeometry()))
        << what << ": " << window.frameGeometry().width() << "x" << window.frameGeometry().height()
        << " at " << window.x() << "," << window.y() << " outside " << area.width() << "x"
        << area.height();
}

// Presses Tab until `name` has the focus.
void TabTo(const char* name) {
    for (int i = 0; i < 80 && QApplication::focusWidget()->objectName() != QLatin1String(name); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(name));
}

TEST(WindowFit, WindowsShowWithinTheirScreen) {
    for (const WindowCase& c : Windows()) {
        RecordingDialogService service;
        const std::unique_ptr<QWidget> window = c.make(service);
        ShowActive(*window);
        const QRect screen = window->screen()->availableGeometry();
        ExpectFrameWithin(*window, screen, c.what);
        for (const char* button : c.buttons) ExpectWholeInSight(*window, button, c.what);
        // Where there is room, the window is as large as its layout asks.
        const QSize hint = window->sizeHint();
        if (hint.width() + 20 <= screen.width() && hint.height() + 50 <= screen.height()) {
            EXPECT_EQ(window->size(), hint) << c.what;
        }
    }
}

TEST(WindowFit, WindowsFitA640By400Area) {
    const QRect area(0, 0, 640, 400);
    for (const WindowCase& c : Windows()) {
        RecordingDialogService service;
        const std::unique_ptr<QWidget> window = c.make(service);
        ShowActive(*window);
        window->move(300, 200);  // partly outside the area
        FitWindowInto(*window, area);
        ExpectFrameWithin(*window, area, c.what);
        for (const char* button : c.buttons) ExpectWholeInSight(*window, button, c.what);
    }
}

// The editor does not fit 640x400 whole: the data bytes at its bottom come into view as
// the focus moves to them, and OK, still in sight, closes it with the values typed.
TEST(WindowFit, ControlsOutOfSightScrollIntoViewWithTheFocus) {
    RecordingDialogService service;
    PtzDataEditorDialog editor(service, PtzProtocol::MakeNew(7), kNoProtocols, -1);
    ShowActive(editor);
    FitWindowInto(editor, QRect(0, 0, 640, 400));
    auto* last = editor.findChild<QLineEdit*>(QStringLiteral("dataEdit31"));
    ASSERT_NE(last, nullptr);
    EXPECT_NE(last->visibleRegion(), QRegion(last->rect()));  // out of sight at first
    TabTo("dataEdit31");
    QTest::keyClicks(QApplication::focusWidget(), "7e");
    EXPECT_EQ(last->visibleRegion(), QRegion(last->rect()));
    TabTo("okButton");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(editor.record().commands[0].data[31], 0x7E);
}

// At the normal size, with room on the screen.
TEST(WindowFit, PathFieldWidensWithTheMainDialog) {
    RecordingDialogService service;
    DownloaderDialog dialog(service);
    ShowActive(dialog);
    if (dialog.width() < dialog.sizeHint().width())
        GTEST_SKIP() << "the screen is too small: the form scrolls at its narrowest";
    auto* path = dialog.findChild<QLineEdit*>(QStringLiteral("imagePath"));
    ASSERT_NE(path, nullptr);
    const int before = path->width();
    dialog.resize(dialog.width() + 200, dialog.height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return path->width() >= before + 200; }))
        << before << " -> " << path->width();
    ExpectWholeInSight(dialog, "downloadButton", "widened main dialog");
}

}  // namespace
}  // namespace imgdl::test

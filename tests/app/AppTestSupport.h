#pragma once
// Shared by the main dialog's tests: a flows double that records which flow ran, and a
// fixture holding one dialog with a recording service.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <ostream>
#include <string>
#include <vector>

#include "app/DownloaderDialog.h"
#include <memory>

#include "download/DownloadFlows.h"
#include "support/RecordingDialogService.h"

// Readable failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace imgdl::test {

class RecordingFlows : public DownloadFlows {
  public:
    using DownloadFlows::DownloadFlows;
    void DownloadIntegratedImage() override { calls.push_back("integrated"); }
    void DownloadMacAddress() override { calls.push_back("mac"); }
    void DownloadSerialNumber() override { calls.push_back("serial"); }
    void DownloadMacAndSerial() override { calls.push_back("mac+serial"); }
    void DownloadApplicationImage() override { calls.push_back("application"); }
    void DownloadPtzImage() override { calls.push_back("ptz"); }

    std::vector<std::string> calls;
};

// Members are public so that table tests can make one fixture per case.
class DialogTest : public testing::Test {
  public:
    DialogTest() {
        auto recording = std::make_unique<RecordingFlows>(dialog);
        flows = recording.get();
        dialog.setDownloadFlows(std::move(recording));
    }

    template <typename T = QWidget>
    T* child(const char* name) {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    QAbstractButton* button(const char* name) { return child<QAbstractButton>(name); }

    // Chooses a download type as the operator would, enabling its radio button first for
    // the two types the dialog offers disabled.
    void chooseType(const char* radio) {
        button(radio)->setEnabled(true);
        button(radio)->click();
    }

    // Focus only moves in an active window.
    void showActive() {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    void TestBody() override {}

    RecordingDialogService service;
    DownloaderDialog dialog{service};
    RecordingFlows* flows = nullptr;  // owned by the dialog
};

}  // namespace imgdl::test

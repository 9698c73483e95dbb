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

#include <memory>

#include "app/DownloaderDialog.h"
#include "flows/DownloadFlows.h"
#include "support/RecordingDialogService.h"

// Readable failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace imgdl::test {

class RecordingFlows : public DownloadFlows {
  public:
    using DownloadFlows::DownloadFlows;
    FlowOutcome DownloadIntegratedImage(const DownloadRequest& r) override {
        return record("integrated", r);
    }
    FlowOutcome DownloadMacAddress(const DownloadRequest& r) override { return record("mac", r); }
    FlowOutcome DownloadSerialNumber(const DownloadRequest& r) override {
        return record("serial", r);
    }
    FlowOutcome DownloadMacAndSerial(const DownloadRequest& r) override {
        return record("mac+serial", r);
    }
    FlowOutcome DownloadApplicationImage(const DownloadRequest& r) override {
        return record("application", r);
    }
    FlowOutcome DownloadPtzImage(const DownloadRequest& r) override { return record("ptz", r); }

    std::vector<DownloadRequest> requests;
    FlowOutcome answer;  // what every flow returns
    std::vector<std::string> calls;

  private:
    FlowOutcome record(const char* flow, const DownloadRequest& request) {
        calls.push_back(flow);
        requests.push_back(request);
        return answer;
    }
};

// Members are public so that table tests can make one fixture per case.
class DialogTest : public testing::Test {
  public:
    DialogTest() {
        auto recording = std::make_unique<RecordingFlows>(dialog.sessionRunner());
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

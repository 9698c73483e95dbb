#pragma once
// Shared by the line window's tests: a stand-in station that records what the window
// asks of it, and the keyboard moves a person makes on the shown window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "line/LineWindow.h"
#include "line/PortCard.h"

// Readable failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace imgdl::test {

class FakeControl : public line::StationControl {
  public:
    explicit FakeControl(station::PortListener& listener) : listener_(listener) {}
    std::string start() override { return startError; }
    void stop() override { calls.push_back("stop"); }
    void cancel(const std::string& port) override { calls.push_back("cancel " + port); }
    void retry(const std::string& port) override { calls.push_back("retry " + port); }
    void setEnabled(const std::string& port, bool enabled) override {
        calls.push_back((enabled ? "enable " : "disable ") + port);
    }
    void pause() override {
        calls.push_back("pause");
        paused_ = true;
    }
    void resume() override {
        calls.push_back("resume");
        paused_ = false;
    }
    bool paused() const override { return paused_; }

    // As the engine tells it: on a thread of its own.
    void tell(const station::PortEvent& event) {
        std::thread([&] { listener_.portChanged(event); }).join();
    }

    std::string startError;
    std::vector<std::string> calls;

  private:
    station::PortListener& listener_;
    bool paused_ = false;
};

inline station::StationConfig PortsNamed(const std::vector<std::string>& names) {
    station::StationConfig config;
    for (std::size_t i = 0; i < names.size(); ++i)
        config.ports.push_back(
            {names[i], *ParseRecorderAddress("127.0.0.1:" + std::to_string(6000 + i))});
    return config;
}

inline QString Text(line::PortCard* card, const char* child) {
    auto* label = card->findChild<QLabel*>(QLatin1String(child));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(child));
}

inline QAbstractButton* Button(QWidget* parent, const char* name) {
    auto* button = parent->findChild<QAbstractButton*>(QLatin1String(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

// Presses Tab until `target` has the focus, as a person moves to a button; false when
// a whole round of the window's focus chain never reaches it.
inline bool TabTo(QWidget* window, QWidget* target) {
    for (int presses = 0; presses < 200; ++presses) {
        if (QApplication::focusWidget() == target) return true;
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                        Qt::Key_Tab);
    }
    return QApplication::focusWidget() == target;
}

}  // namespace imgdl::test

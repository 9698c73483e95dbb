// Which program arguments open the line window, with which station file, and what a
// person is told when that station cannot run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <vector>

#include "line/LineApp.h"
#include "line/LineWindow.h"
#include "station/StationFile.h"
#include "support/RecordingDialogService.h"
#include "support/TempDir.h"

namespace imgdl::test {
namespace {

TEST(LineArgument, OpensTheLineWindowOnlyWhenAsked) {
    const struct {
        std::vector<const char*> args;
        std::optional<std::string> file;
    } cases[] = {
        {{"image-downloader"}, std::nullopt},
        {{"image-downloader", "-style", "fusion"}, std::nullopt},
        {{"image-downloader", "--line"}, ""},
        {{"image-downloader", "--line", "bench.station"}, "bench.station"},
        {{"image-downloader", "--line", "-platform", "xcb"}, ""},
        {{"image-downloader", "-platform", "xcb", "--line", "/etc/line/a b"}, "/etc/line/a b"},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(line::LineArgument(argv), c.file) << c.args.size();
    }
}

TEST(LineWindowStart, AStationThatCannotRunIsRefusedWithWhy) {
    TempDir dir;
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name)) << text;
        return dir.file(name);
    };
    const struct {
        std::string file;
        const char* told;  // nullptr: nothing
        int exit;
    } cases[] = {
        {"", nullptr, 0},  // the file dialog cancelled
        {dir.file("missing.station"), "missing.station: cannot be read", 2},
        {write("twice.station", "recipe = identity\nport = a=127.0.0.1:9\nport = a=127.0.0.1:10\n"),
         "two ports are named a", 2},
        {write("noledger.station",
               "recipe = identity\nledger = nowhere/ledger.sqlite\n"
               "port = a=127.0.0.1:9\n"),
         "no ledger at", 2},
    };
    for (const auto& c : cases) {
        RecordingDialogService service;
        EXPECT_EQ(line::RunLineWindow(c.file, service), c.exit) << c.file;
        if (!c.told) {
            EXPECT_TRUE(service.messages.empty()) << c.file;
            EXPECT_EQ(service.fileRequests.size(), 1u);
            continue;
        }
        ASSERT_EQ(service.messages.size(), 1u) << c.file;
        EXPECT_THAT(service.messages[0].text, testing::HasSubstr(c.told));
        EXPECT_EQ(service.messages[0].icon, MessageIcon::Error);
    }
}

line::LineWindow* ShownLineWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<line::LineWindow*>(w); window && window->isVisible())
            return window;
    return nullptr;
}

// A set-up saved from the window: the station stops and runs again from the file, in a
// window of the new set-up's ports.
TEST(LineWindowStart, ASavedSetupRestartsTheStationFromTheFile) {
    TempDir dir;
    {
        auto opened = ledger::OpenLedger(dir.file("ledger.sqlite"));
        ASSERT_TRUE(opened.ok());
        ASSERT_FALSE(opened.value()->init("0012AB000000", "0012AB0000FF", 1).failed());
    }
    const std::string file = dir.file("bench.station");
    std::ofstream(file) << "recipe = identity\nledger = ledger.sqlite\nport = a=127.0.0.1:9\n";
    RecordingDialogService service;
    int step = 0;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        line::LineWindow* window = ShownLineWindow();
        if (!window) return;
        if (step == 0 && window->card("a")) {
            step = 1;
            service.modalHandlers.push_back([](QDialog& form) {
                auto* name = form.findChild<QLineEdit*>("portName-1");
                name->selectAll();
                QTest::keyClicks(name, "b");
                form.findChild<QPushButton*>("save")->click();
                return form.result();
            });
            window->findChild<QPushButton*>("setup")->click();
        } else if (step == 1 && window->card("b")) {
            step = 2;
            window->close();
        }
    });
    driver.start();
    EXPECT_EQ(line::RunLineWindow(file, service), 0);
    EXPECT_EQ(step, 2);
    EXPECT_TRUE(service.messages.empty()) << service.texts().front();
    const auto read = station::ReadStationFile(file);
    ASSERT_TRUE(std::holds_alternative<station::StationFile>(read));
    EXPECT_EQ(std::get<station::StationFile>(read).config.ports.at(0).name, "b");
}

}  // namespace
}  // namespace imgdl::test

// The line window over a real station: recorder-sim processes on 127.0.0.1 free ports are
// the units, an SQLite ledger in a scratch folder hands out their numbers, and the window
// is watched and pressed as a person at the bench would.
#include <QProgressBar>
#include <filesystem>
#include <memory>

#include "Background.h"
#include "LineTestSupport.h"
#include "labels/LabelData.h"
#include "ledger/MacRange.h"
#include "line/EngineControl.h"
#include "support/RecordingDialogService.h"
#include "support/TempDir.h"

namespace imgdl::test {
namespace {

using namespace std::chrono_literals;
using station::PortState;

class LineStation : public testing::Test {
  protected:
    LineStation() {
        auto opened = ledger::OpenLedger(dir.file("ledger.sqlite"));
        EXPECT_TRUE(opened.ok());
        ledger = std::move(opened).value();
        EXPECT_FALSE(ledger->init("0012AB000000", "0012AB0000FF", 1).failed());
        std::filesystem::create_directory(dir.file("labels"));
    }
    // A unit plugged into a port: a recorder listening on the port's address.
    std::unique_ptr<Background> plug(int port, const std::string& name,
                                     std::vector<std::string> more = {}) {
        std::vector<std::string> argv = {RECORDER_SIM_PROGRAM, "--listen",
                                         "127.0.0.1:" + std::to_string(port)};
        argv.insert(argv.end(), more.begin(), more.end());
        return std::make_unique<Background>(argv, dir.file(name + ".out"), dir.file(name + ".err"));
    }
    void open(const std::vector<int>& ports, const std::string& ledgerFile = "ledger.sqlite") {
        station::StationConfig config;
        for (std::size_t i = 0; i < ports.size(); ++i)
            config.ports.push_back(
                {"p" + std::to_string(i),
                 *ParseRecorderAddress("127.0.0.1:" + std::to_string(ports[i]))});
        config.recipe = units::Recipe::Identity;
        config.ledger = dir.file(ledgerFile);
        config.goneAfter = 500ms;
        config.probeEvery = 100ms;
        config.retries = 0;
        config.labels.folder = dir.file("labels");
        window = std::make_unique<line::LineWindow>(
            config,
            [config](station::PortListener& l) {
                return line::MakeEngineControl(config, nullptr, l);
            },
            service);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_EQ(window->start(), "");
    }
    // The words a card showed, each change once, until it shows `last` or the bound.
    QStringList watch(const std::string& port, const QString& last,
                      std::chrono::milliseconds bound = 20s) {
        QStringList seen;
        const auto giveUp = std::chrono::steady_clock::now() + bound;
        while (std::chrono::steady_clock::now() < giveUp) {
            const QString word = Text(window->card(port), "state");
            if (seen.isEmpty() || seen.back() != word) seen << word;
            if (word == last) break;
            QTest::qWait(20);
        }
        return seen;
    }
    std::vector<ledger::UnitRecord> rows() {
        auto listed = ledger->list();
        EXPECT_TRUE(listed.ok());
        return listed.ok() ? listed.value() : std::vector<ledger::UnitRecord>{};
    }
    // The ledger's mark before the payload: from here a cancel leaves the numbers unused.
    bool payloadMarked() {
        const auto giveUp = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < giveUp) {
            const auto all = rows();
            if (all.size() == 1 && all[0].result == ledger::UnitResult::Uncertain) return true;
            QTest::qWait(20);
        }
        return false;
    }
    QString header(const char* name) {
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QString();
    }

    TempDir dir;
    RecordingDialogService service;
    std::unique_ptr<ledger::Ledger> ledger;
    std::unique_ptr<line::LineWindow> window;
};

TEST_F(LineStation, APluggedUnitWorksThenIsDoneWithTheNumbersTheLedgerGaveIt) {
    const std::vector<int> ports = FreePorts(2);
    open(ports);
    EXPECT_EQ(watch("p0", "WAITING"), QStringList{"WAITING"});
    // Slow enough to be seen working: the recorder waits before its last answer.
    auto unit = plug(ports[0], "unit", {"--write-delay", "1500"});
    const QStringList seen = watch("p0", "DONE");
    ASSERT_EQ(seen.back(), "DONE") << seen.join(' ').toStdString();
    EXPECT_TRUE(seen.contains("WORKING")) << seen.join(' ').toStdString();
    EXPECT_LT(seen.indexOf("WORKING"), seen.indexOf("DONE"));

    const auto all = rows();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].result, ledger::UnitResult::Done);
    EXPECT_EQ(all[0].port, "p0");
    auto* card = window->card("p0");
    EXPECT_EQ(Text(card, "mac"), QString::fromStdString(labels::ColonMac(all[0].mac)));
    EXPECT_EQ(Text(card, "serial"), QStringLiteral("SN %1").arg(all[0].serial));
    EXPECT_EQ(card->findChild<QProgressBar*>("progress")->value(), 100);
    EXPECT_EQ(Text(window->card("p1"), "state"), "WAITING");  // no unit there
    // What the recorder received is what the card says.
    QTRY_VERIFY(ReadText(dir.file("unit.out")).find("mac=" + labels::BareMac(all[0].mac)) !=
                std::string::npos);
}

TEST_F(LineStation, TheHeaderCountsWhatTheLedgerHolds) {
    const std::vector<int> ports = FreePorts(3);
    open(ports);
    auto a = plug(ports[0], "a");
    auto b = plug(ports[1], "b");
    // Hangs up before it answers the identity: a failed unit.
    auto c = plug(ports[2], "c", {"--script", "close-before-ack"});
    ASSERT_EQ(watch("p0", "DONE").back(), "DONE");
    ASSERT_EQ(watch("p1", "DONE").back(), "DONE");
    ASSERT_EQ(watch("p2", "FAILED").back(), "FAILED");
    QTRY_COMPARE(header("shiftDone"), "2");
    EXPECT_EQ(header("shiftFailures"), "1");
    EXPECT_NE(header("shiftPerHour"), "0.0");

    std::size_t done = 0;
    for (const auto& row : rows()) done += row.result == ledger::UnitResult::Done;
    EXPECT_EQ(done, 2u);
    const auto status = ledger->status();
    ASSERT_TRUE(status.ok());
    const auto& s = status.value();
    EXPECT_EQ(header("ledgerUsed"), QStringLiteral("%1 used").arg(s.used));
    EXPECT_EQ(header("ledgerFree"), QStringLiteral("%1 free").arg(s.free));
    EXPECT_EQ(header("ledgerNext"), QStringLiteral("%1, serial %2")
                                        .arg(QString::fromStdString(ledger::FormatMac48(s.nextMac)))
                                        .arg(s.nextSerial));
    EXPECT_TRUE(window->findChild<QLabel*>("ledgerWarning")->isHidden());
}

TEST_F(LineStation, TheHeaderWarnsUnderATenthLeftAndWhenNoneIs) {
    auto opened = ledger::OpenLedger(dir.file("small.sqlite"));
    ASSERT_TRUE(opened.ok());
    auto small = std::move(opened).value();
    ASSERT_FALSE(small->init("0012AB000000", "0012AB000013", 1).failed());  // 20 numbers
    for (int i = 0; i < 19; ++i) {
        const auto unit = small->allocate({"127.0.0.1", "identity", "", "", "bench", "", ""});
        ASSERT_TRUE(unit.ok());
        ASSERT_FALSE(small->finish(unit.value().id, ledger::Outcome::Done, "done").failed());
    }
    const int port = FreePort();
    open({port}, "small.sqlite");
    auto* warning = window->findChild<QLabel*>("ledgerWarning");
    QTRY_COMPARE(warning->text(), "Less than a tenth of the ledger is left (1 free).");
    EXPECT_TRUE(warning->isVisible());
    EXPECT_EQ(header("ledgerNext"), "0012AB000013, serial 20");

    auto unit = plug(port, "last");
    ASSERT_EQ(watch("p0", "DONE").back(), "DONE");
    QTRY_COMPARE(warning->text(), "The ledger has no numbers left.");
    EXPECT_EQ(header("ledgerNext"), "none");
    EXPECT_EQ(header("ledgerFree"), "0 free");
}

TEST_F(LineStation, ReprintFromACardMakesTheLabelAgainAndTheLedgerCountsIt) {
    const int port = FreePort();
    open({port});
    auto unit = plug(port, "unit");
    ASSERT_EQ(watch("p0", "DONE").back(), "DONE");
    const auto made = rows().at(0);
    const std::string file = dir.file("labels/label-" + labels::BareMac(made.mac) + ".pdf");
    ASSERT_TRUE(std::filesystem::is_regular_file(file));
    EXPECT_EQ(made.labelPrints, 1u);
    std::filesystem::remove(file);

    auto* reprint = Button(window->card("p0"), "reprint");
    ASSERT_TRUE(TabTo(window.get(), reprint));
    QTest::keyClick(reprint, Qt::Key_Space);
    // Made off the window's thread: the card says so meanwhile, and takes no second press.
    EXPECT_EQ(Text(window->card("p0"), "cause"), "Making the label again…");
    EXPECT_FALSE(reprint->isEnabled());
    QTRY_COMPARE(Text(window->card("p0"), "cause"),
                 QString::fromStdString("Label: label-" + labels::BareMac(made.mac) + ".pdf"));
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    EXPECT_EQ(rows().at(0).labelPrints, 2u);
    EXPECT_TRUE(reprint->isEnabled());
}

// A unit whose recorder stops answering holds its card until a person cancels it.
TEST_F(LineStation, CancelRetryAndDisableFromACardByKeyboard) {
    const int port = FreePort();
    open({port});
    auto unit = plug(port, "stalled", {"--script", "stall"});
    ASSERT_EQ(watch("p0", "WORKING").back(), "WORKING");
    auto* card = window->card("p0");
    ASSERT_TRUE(payloadMarked());  // the recorder is silent from here on

    auto* cancel = Button(card, "cancel");
    ASSERT_TRUE(TabTo(window.get(), cancel));
    const auto cancelledAt = std::chrono::steady_clock::now();
    QTest::keyClick(cancel, Qt::Key_Space);
    ASSERT_EQ(watch("p0", "FAILED", 5s).back(), "FAILED");
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, 2s);
    EXPECT_TRUE(Text(card, "cause").contains("cancelled")) << Text(card, "cause").toStdString();
    auto all = rows();
    ASSERT_EQ(all.size(), 1u);
    // Cancelled after its payload: its numbers are never handed out again.
    EXPECT_EQ(all[0].result, ledger::UnitResult::Uncertain);

    // The same unit, still plugged, answers now.
    auto* retry = Button(card, "retry");
    ASSERT_TRUE(TabTo(window.get(), retry));
    QTest::keyClick(retry, Qt::Key_Return);
    ASSERT_EQ(watch("p0", "DONE").back(), "DONE");
    all = rows();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].result, ledger::UnitResult::Done);
    EXPECT_NE(all[1].mac, all[0].mac);
    EXPECT_EQ(Text(card, "mac"), QString::fromStdString(labels::ColonMac(all[1].mac)));

    // Out of service: a fresh unit plugged in is left alone.
    auto* disable = Button(card, "disable");
    ASSERT_TRUE(TabTo(window.get(), disable));
    QTest::keyClick(disable, Qt::Key_Space);
    ASSERT_EQ(watch("p0", "DISABLED", 5s).back(), "DISABLED");
    // Unplugged first: a recorder started while the old one still listens cannot bind.
    unit.reset();
    unit = plug(port, "fresh");
    QTest::qWait(1500);
    EXPECT_EQ(Text(card, "state"), "DISABLED");
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(ReadText(dir.file("fresh.out")).find("CMD_MAC_AND_SERIAL"), std::string::npos);

    // Back in service, the fresh unit gets the next numbers.
    EXPECT_EQ(disable->text(), "Enable");
    ASSERT_TRUE(TabTo(window.get(), disable));
    QTest::keyClick(disable, Qt::Key_Space);
    ASSERT_EQ(watch("p0", "DONE").back(), "DONE");
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(LineStation, ClosingWithAStalledUnitCancelsItAndEndsAtOnce) {
    const int port = FreePort();
    open({port});
    auto unit = plug(port, "stalled", {"--script", "stall"});
    ASSERT_EQ(watch("p0", "WORKING").back(), "WORKING");
    ASSERT_TRUE(payloadMarked());
    service.answers = {MessageAnswer::Yes};
    const auto closedAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(window->close());
    window.reset();  // the station's threads end here
    EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 3s);
    const auto all = rows();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].result, ledger::UnitResult::Uncertain);
}

TEST_F(LineStation, APausedStationTakesNoUnitAndSaysSoOnItsCards) {
    const int port = FreePort();
    open({port});
    auto* pause = Button(window.get(), "pause");
    ASSERT_TRUE(TabTo(window.get(), pause));
    QTest::keyClick(pause, Qt::Key_Space);
    EXPECT_EQ(pause->text(), "Resume");
    QTRY_COMPARE(Text(window->card("p0"), "cause"), "paused");
    auto unit = plug(port, "unit");
    QTest::qWait(1000);
    EXPECT_EQ(Text(window->card("p0"), "state"), "WAITING");
    EXPECT_TRUE(rows().empty());
    QTest::keyClick(pause, Qt::Key_Space);
    EXPECT_EQ(pause->text(), "Pause");
    ASSERT_EQ(watch("p0", "DONE").back(), "DONE");
}

}  // namespace
}  // namespace imgdl::test

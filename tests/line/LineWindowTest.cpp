// The line window on screen, driven as a person drives it: events from a station's port
// threads move the cards, Tab reaches each card's buttons, Space and Enter press them,
// and eight ports fit a 1280x800 screen at both scales.
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <filesystem>

#include "LineTestSupport.h"
#include "support/RecordingDialogService.h"
#include "support/SqliteLock.h"
#include "support/TempDir.h"

namespace imgdl::test {
namespace {

using station::PortState;
using namespace std::chrono_literals;

class LineWindowTest : public testing::Test {
  protected:
    void open(const std::vector<std::string>& ports, bool labels = true) {
        auto config = PortsNamed(ports);
        config.ledger = dir.file("ledger.sqlite");
        if (labels) config.labels.folder = dir.file("labels");
        window = std::make_unique<line::LineWindow>(
            config,
            [this](station::PortListener& l) {
                auto made = std::make_unique<FakeControl>(l);
                fake = made.get();
                return made;
            },
            service);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void tell(const std::string& port, PortState state, std::string mac = {},
              std::optional<std::uint32_t> serial = {}, std::uint32_t percent = 0,
              std::string cause = {}) {
        auto e = station::FreshEvent(port, state);
        e.mac = std::move(mac);
        e.serial = serial;
        e.percent = percent;
        e.cause = std::move(cause);
        fake->tell(e);
    }
    // Once the window has taken the event from the port's thread.
    void settle(const std::string& port, const QString& word) {
        QTRY_COMPARE(Text(window->card(port), "state"), word);
    }

    TempDir dir;
    RecordingDialogService service;
    std::unique_ptr<line::LineWindow> window;
    FakeControl* fake = nullptr;
};

TEST_F(LineWindowTest, CardsFollowTheEventsOfTheirOwnPort) {
    open({"p0", "p1"});
    const struct {
        PortState state;
        const char* mac;
        std::optional<std::uint32_t> serial;
        std::uint32_t percent;
        const char* cause;
        QString word, macText, serialText, causeText;
        bool cancel, retry, disable, reprint;
    } cases[] = {
        {PortState::Waiting, "", {}, 0, "", "WAITING", "—", "", "", false, false, true, false},
        {PortState::Working, "0012AB00000A", 11, 40, "", "WORKING", "00:12:AB:00:00:0A", "SN 11",
         "", true, false, true, false},
        {PortState::Done, "0012AB00000A", 11, 100, "", "DONE", "00:12:AB:00:00:0A", "SN 11", "",
         false, false, true, true},
        {PortState::Failed, "0012AB00000B", 12, 0, "Can't connect to the machine.", "FAILED",
         "00:12:AB:00:00:0B", "SN 12", "Can't connect to the machine.", false, true, true, false},
        {PortState::AlreadyProvisioned, "0012AB000003", 4, 0, "", "ALREADY PROVISIONED",
         "00:12:AB:00:00:03", "SN 4", "", false, false, true, false},
        {PortState::Disabled, "", {}, 0, "", "DISABLED", "—", "", "", false, false, true, false},
    };
    for (const auto& c : cases) {
        tell("p1", c.state, c.mac, c.serial, c.percent, c.cause);
        settle("p1", c.word);
        auto* card = window->card("p1");
        EXPECT_EQ(Text(card, "mac"), c.macText) << c.word.toStdString();
        EXPECT_EQ(Text(card, "serial"), c.serialText) << c.word.toStdString();
        EXPECT_EQ(Text(card, "cause"), c.causeText) << c.word.toStdString();
        EXPECT_EQ(card->findChild<QProgressBar*>("progress")->value(), static_cast<int>(c.percent));
        EXPECT_EQ(Button(card, "cancel")->isEnabled(), c.cancel) << c.word.toStdString();
        EXPECT_EQ(Button(card, "retry")->isEnabled(), c.retry) << c.word.toStdString();
        EXPECT_EQ(Button(card, "disable")->isEnabled(), c.disable) << c.word.toStdString();
        EXPECT_EQ(Button(card, "reprint")->isEnabled(), c.reprint) << c.word.toStdString();
        EXPECT_EQ(Text(window->card("p0"), "state"), "WAITING") << "the other port moved";
    }
    EXPECT_EQ(Button(window->card("p1"), "disable")->text(), "Enable");
}

TEST_F(LineWindowTest, TheBarSaysWhichSessionItIsOf) {
    open({"p0"});
    const struct {
        const char* stage;
        std::uint32_t percent;
        QString shown;
    } cases[] = {
        {"version check", 100, "version check 100%"},
        {"image", 42, "image 42%"},
        {"restart", 0, "restart 0%"},  // any step the engine names
        {"", 40, "40%"},
    };
    for (const auto& c : cases) {
        auto e = station::FreshEvent("p0", PortState::Working);
        e.percent = c.percent;
        e.stage = c.stage;
        fake->tell(e);
        auto* bar = window->card("p0")->findChild<QProgressBar*>("progress");
        QTRY_COMPARE(bar->text(), c.shown);
        EXPECT_TRUE(bar->isVisible()) << c.stage;
    }
}

TEST_F(LineWindowTest, EveryActionOfACardIsReachedByTabAndPressedByKey) {
    const struct {
        PortState state;
        const char* button;
        Qt::Key key;
        const char* call;
    } cases[] = {
        {PortState::Working, "cancel", Qt::Key_Space, "cancel p1"},
        {PortState::Found, "cancel", Qt::Key_Return, "cancel p1"},
        {PortState::Failed, "retry", Qt::Key_Space, "retry p1"},
        {PortState::Failed, "retry", Qt::Key_Enter, "retry p1"},
        {PortState::Waiting, "disable", Qt::Key_Space, "disable p1"},
        {PortState::Working, "disable", Qt::Key_Enter, "disable p1"},
        {PortState::Disabled, "disable", Qt::Key_Return, "enable p1"},
    };
    for (const auto& c : cases) {
        open({"p0", "p1", "p2"});
        tell("p1", c.state);
        settle("p1", line::StateWord(c.state));
        auto* button = Button(window->card("p1"), c.button);
        ASSERT_TRUE(TabTo(window.get(), button)) << c.button;
        QTest::keyClick(button, c.key);
        EXPECT_EQ(fake->calls, std::vector<std::string>{c.call}) << c.button;
    }
}

TEST_F(LineWindowTest, ButtonsThatDoNotApplyAreSkippedByTab) {
    open({"p0"});
    tell("p0", PortState::Working);
    settle("p0", "WORKING");
    auto* card = window->card("p0");
    for (const char* name : {"retry", "reprint"}) {
        EXPECT_FALSE(TabTo(window.get(), Button(card, name))) << name;
        EXPECT_FALSE(Button(card, name)->hasFocus()) << name;
    }
}

TEST_F(LineWindowTest, PauseAndResumeTheStationFromTheKeyboard) {
    open({"p0"});
    auto* pause = Button(window.get(), "pause");
    ASSERT_TRUE(TabTo(window.get(), pause));
    QTest::keyClick(pause, Qt::Key_Space);
    EXPECT_EQ(pause->text(), "Resume");
    QTest::keyClick(pause, Qt::Key_Space);
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_EQ(fake->calls, (std::vector<std::string>{"pause", "resume"}));
}

TEST_F(LineWindowTest, ClosingAsksBeforeWorkingUnitsAreCancelled) {
    open({"p0", "p1", "p2"});
    EXPECT_TRUE(window->close()) << "nothing works: nothing to ask";
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(fake->calls, std::vector<std::string>{"stop"});

    open({"p0", "p1", "p2"});
    tell("p0", PortState::Done, "0012AB000001", 2, 100);
    tell("p1", PortState::Working, "0012AB000002", 3, 40);
    tell("p2", PortState::Found);
    settle("p2", "FOUND");
    service.answers = {MessageAnswer::No};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(fake->calls.empty());
    ASSERT_EQ(service.messages.size(), 1u);
    EXPECT_EQ(service.messages[0].text,
              "2 units are being provisioned. Cancel and close? (Their "
              "ledger rows end by the ledger's rule.)");
    EXPECT_EQ(service.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(service.messages[0].defaultAnswer, MessageAnswer::No);
    service.answers = {MessageAnswer::Yes};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(fake->calls, (std::vector<std::string>{"stop", "cancel p1", "cancel p2"}));
}

TEST_F(LineWindowTest, AStationThatCannotStartSaysWhy) {
    open({"p0"});
    fake->startError = "the ledger is read-only";
    EXPECT_EQ(window->start(), "the ledger is read-only");
    fake->startError.clear();
    EXPECT_EQ(window->start(), "");
}

TEST_F(LineWindowTest, WithoutALabelFolderOrPrinterNothingIsReprinted) {
    open({"p0"}, false);
    tell("p0", PortState::Done, "0012AB000001", 2, 100);
    settle("p0", "DONE");
    EXPECT_FALSE(Button(window->card("p0"), "reprint")->isEnabled());
}

// The window reads the ledger and makes labels again off its own thread: behind a lock
// those wait, the header says so, and keys and the clock go on.
TEST_F(LineWindowTest, ALedgerBehindALockNeverHoldsTheWindow) {
    {
        auto opened = ledger::OpenLedger(dir.file("ledger.sqlite"));
        ASSERT_TRUE(opened.ok());
        auto ledger = std::move(opened).value();
        ASSERT_FALSE(ledger->init("0012AB000000", "0012AB0000FF", 1).failed());
        const auto unit = ledger->allocate({"127.0.0.1", "identity", "", "", "bench", "p0", ""});
        ASSERT_TRUE(unit.ok());
        ASSERT_FALSE(ledger->finish(unit.value().id, ledger::Outcome::Done, "done").failed());
    }
    std::filesystem::create_directory(dir.file("labels"));
    auto lock = std::make_unique<SqliteLock>(dir.file("ledger.sqlite"));
    ASSERT_TRUE(lock->locked());

    const auto opening = std::chrono::steady_clock::now();
    open({"p0"});
    ASSERT_EQ(window->start(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - opening, 2s);
    tell("p0", PortState::Done, "0012AB000000", 1, 100);
    settle("p0", "DONE");
    auto* reprint = Button(window->card("p0"), "reprint");
    ASSERT_TRUE(TabTo(window.get(), reprint));
    QTest::keyClick(reprint, Qt::Key_Space);
    EXPECT_EQ(Text(window->card("p0"), "cause"), "Making the label again…");

    // The longest the window's thread is away while the lock holds its reads.
    auto* pause = Button(window.get(), "pause");
    auto* warning = window->findChild<QLabel*>("ledgerWarning");
    std::chrono::steady_clock::duration longest{};
    const auto until = std::chrono::steady_clock::now() + 3500ms;
    while (std::chrono::steady_clock::now() < until) {
        const auto before = std::chrono::steady_clock::now();
        QTest::qWait(20);
        longest = std::max(longest, std::chrono::steady_clock::now() - before);
    }
    EXPECT_LT(longest, 250ms);
    QTRY_VERIFY(warning->text().startsWith("Ledger: no answer for "));
    EXPECT_TRUE(warning->isVisible());
    ASSERT_TRUE(TabTo(window.get(), pause));
    QTest::keyClick(pause, Qt::Key_Space);
    EXPECT_EQ(pause->text(), "Resume");
    EXPECT_EQ(Text(window->card("p0"), "cause"), "Making the label again…");
    EXPECT_EQ(window->findChild<QLabel*>("ledgerUsed")->text(), "");

    lock.reset();
    QTRY_COMPARE(window->findChild<QLabel*>("ledgerUsed")->text(), "1 used");
    EXPECT_FALSE(warning->isVisible());
    QTRY_COMPARE(Text(window->card("p0"), "cause"), "Label: label-0012AB000000.pdf");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("labels/label-0012AB000000.pdf")));
}

// Scale 1.5 on a 1280x800 screen leaves 853x533 of the window's own pixels; a title bar
// takes some of the height.
TEST_F(LineWindowTest, EightPortsFitTheScreenAtBothScalesAndMoreScroll) {
    const struct {
        int ports, width, height;
        bool scrolls;
    } cases[] = {
        {8, 1280, 770, false},
        {8, 853, 505, false},
        {4, 853, 505, false},
        {24, 1280, 770, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (int i = 0; i < c.ports; ++i) names.push_back("port-" + std::to_string(i + 1));
        open(names);
        window->setStationFile(dir.file("bench.station"), {});  // its Set-up button too
        // The widest a card gets: the longest word and a long cause.
        for (const auto& name : names) {
            tell(name, PortState::AlreadyProvisioned, "0012AB000001", 4294967295u);
            tell(name, PortState::Failed, "0012AB000001", 4294967295u, 0,
                 "The machine closed the connection. (ack: connection reset by peer; 0 of "
                 "4294967295 bytes sent)");
        }
        tell(names.front(), PortState::AlreadyProvisioned, "0012AB000001", 4294967295u);
        settle(names.front(), "ALREADY PROVISIONED");
        const QSize least = window->minimumSizeHint();
        EXPECT_LE(least.width(), c.width) << c.ports << " ports";
        window->resize(c.width, c.height);
        QTRY_COMPARE(window->size(), QSize(c.width, c.height));
        QApplication::processEvents();
        auto* scroll = window->findChild<QScrollArea*>("cardScroll");
        EXPECT_EQ(scroll->verticalScrollBar()->maximum() > 0, c.scrolls)
            << c.ports << " ports in " << c.width << "x" << c.height;
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
        // Whatever fits shows each card's buttons whole, their words unclipped.
        auto* card = window->card(names.front());
        for (const char* name : {"cancel", "retry", "disable", "reprint"}) {
            auto* button = Button(card, name);
            EXPECT_GE(button->width(), button->sizeHint().width()) << name << " " << c.width;
            EXPECT_GE(button->height(), button->sizeHint().height()) << name << " " << c.width;
        }
    }
}

}  // namespace
}  // namespace imgdl::test

// The progress window over a real session to the loopback recorder: what it shows at
// each stage, its result, its error box, and the ways it refuses to be closed.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QElapsedTimer>
#include <QTest>

#include "RecorderSimulator.h"
#include "SessionTestSupport.h"
#include "app/DownloadEventSink.h"
#include "app/DownloadProgressDialog.h"
#include "session/DownloadProtocol.h"
#include "support/RecordingDialogService.h"

namespace imgdl::test {
namespace {

using namespace std::chrono_literals;
using sim::RecorderBehaviour;
using sim::RecorderSimulator;
using sim::Step;

const QString kSending = QStringLiteral("Downloading...");
const QString kSendingBottom = QStringLiteral("Don't disconnect a network for downloading.");
const QString kFinished = QStringLiteral("Download finished. !!!");
const QString kWriting = QStringLiteral("Now, Writing a image.");
const QString kWritingBottom = QStringLiteral("Please wait until download is complete.");

// What the window showed when each session message arrived (before handling it).
struct Seen {
    SessionEventMessage::Kind message;
    std::uint32_t value;
    QString top, middle, bottom;
    int progress;
};

class MessageLog : public QObject {
  public:
    explicit MessageLog(DownloadProgressDialog& dialog) : dialog_(dialog) {
        dialog.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == SessionEventMessage::eventType()) {
            const auto* m = static_cast<SessionEventMessage*>(e);
            seen.push_back({m->kind(), m->value(), dialog_.topText(), dialog_.middleText(),
                            dialog_.bottomText(), dialog_.progress()});
        }
        return false;
    }
    const Seen* find(SessionEventMessage::Kind message, std::uint32_t value) const {
        for (const auto& s : seen)
            if (s.message == message && s.value == value) return &s;
        return nullptr;
    }
    std::vector<Seen> seen;

  private:
    DownloadProgressDialog& dialog_;
};

// A job for a window that is never shown, so its worker never starts.
DownloadJob UnstartedJob() {
    DownloadJob job;
    job.command = CMD_PTZ_IMAGE;
    job.target = Loopback(1);
    return job;
}

class ProgressWindow : public testing::Test {
  protected:
    std::unique_ptr<DownloadProgressDialog> makeWindow(
        std::uint32_t command, std::vector<std::uint8_t> payload,
        const std::function<void(DownloadJob&)>& adjust = {}) {
        DownloadJob job = LoopbackJob(recorder.port(), command, std::move(payload), nullptr);
        job.timeouts.writtenAck = 5s;
        if (adjust) adjust(job);
        return std::make_unique<DownloadProgressDialog>(std::move(job), nullptr, service);
    }

    // Shows the window and runs events until the session has closed it.
    static int runToEnd(DownloadProgressDialog& window) {
        window.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
        return window.result();
    }

    RecorderSimulator recorder;
    RecordingDialogService service;
};

TEST_F(ProgressWindow, ImageSessionShowsEachStageAndEndsAccepted) {
    recorder.setBehaviour([] {
        RecorderBehaviour b;
        b.writeDelay = 100ms;
        return b;
    }());
    auto window = makeWindow(CMD_APPLICATION_IMAGE, Pattern(300'000));
    EXPECT_EQ(window->windowTitle(), "Download");
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(window->isModal());
    MessageLog log(*window);
    EXPECT_EQ(runToEnd(*window), QDialog::Accepted);
    EXPECT_TRUE(service.messages.empty());

    ASSERT_FALSE(log.seen.empty());
    const Seen& first = log.seen.front();
    EXPECT_EQ(first.message, SessionEventMessage::Kind::Stage);
    EXPECT_TRUE(first.top.isEmpty() && first.middle.isEmpty() && first.bottom.isEmpty());
    const Seen* writing = log.find(SessionEventMessage::Kind::Stage, STAGE_WRITING);
    ASSERT_TRUE(writing);
    EXPECT_TRUE(writing->top.isEmpty());
    EXPECT_EQ(writing->middle, kSending);
    EXPECT_EQ(writing->bottom, kSendingBottom);
    EXPECT_EQ(writing->progress, 100);
    const Seen* done = log.find(SessionEventMessage::Kind::Stage, STAGE_DONE);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->top, kFinished);
    EXPECT_EQ(done->middle, kWriting);
    EXPECT_EQ(done->bottom, kWritingBottom);
}

TEST_F(ProgressWindow, CompatibilityCheckNeverShowsWritingTexts) {
    auto window = makeWindow(CMD_FIRMWARE_VERSION, {0x00, 0x03, 0x02, 0x01});
    MessageLog log(*window);
    EXPECT_EQ(runToEnd(*window), QDialog::Accepted);
    EXPECT_FALSE(log.find(SessionEventMessage::Kind::Stage, STAGE_WRITING));
    const Seen* done = log.find(SessionEventMessage::Kind::Stage, STAGE_DONE);
    ASSERT_TRUE(done);
    EXPECT_TRUE(done->top.isEmpty());
    EXPECT_EQ(done->middle, kSending);
    EXPECT_EQ(window->topText(), "");
}

TEST_F(ProgressWindow, HandshakeFailureShowsOnlyTheErrorBox) {
    recorder.setBehaviour([] {
        RecorderBehaviour b;
        b.handshakeReply = 0xAB550001;
        return b;
    }());
    auto window = makeWindow(CMD_FIRMWARE_VERSION, {1, 2, 3, 4});
    MessageLog log(*window);
    EXPECT_EQ(runToEnd(*window), QDialog::Rejected);
    EXPECT_EQ(service.texts(), std::vector<std::string>{"It is not a DVR machine."});
    EXPECT_EQ(service.messages.at(0).buttons, MessageButtons::Ok);
    // The box says what it always said; why is in its details.
    EXPECT_EQ(service.messages.at(0).details, "handshake: reply 0xAB550001 is not 0xAB550009");
    ASSERT_EQ(log.seen.size(), 1u);
    EXPECT_EQ(log.seen[0].message, SessionEventMessage::Kind::Error);
    EXPECT_TRUE(log.seen[0].middle.isEmpty());
}

TEST_F(ProgressWindow, IncompatibleFirmwareEndsRejectedWithItsMessage) {
    recorder.setBehaviour([] {
        RecorderBehaviour b;
        b.incompatible = true;
        return b;
    }());
    auto window = makeWindow(CMD_FIRMWARE_VERSION, {0, 3, 2, 1});
    EXPECT_EQ(runToEnd(*window), QDialog::Rejected);
    EXPECT_EQ(service.texts(),
              std::vector<std::string>{"The firmware is Incompatible with the DVR."});
}

// Every code's box, without a network: the messages are posted as a worker would.
TEST_F(ProgressWindow, EachErrorCodeShowsItsMessageAndRejects) {
    const std::pair<std::uint32_t, std::string> cases[] = {
        {ERR_NETWORK, "Can't initialize network."},
        {ERR_CONNECT, "Can't connect to the machine."},
        {ERR_NOT_RECORDER, "It is not a DVR machine."},
        {ERR_LENGTH, "Can't check the image size."},
        {ERR_SEND, "Can't send data to the network."},
        {ERR_WRITE, "Can't write a firmware."},
        {ERR_INCOMPATIBLE, "The firmware is Incompatible with the DVR."},
    };
    for (const auto& [code, text] : cases) {
        RecordingDialogService boxes;
        DownloadProgressDialog window(UnstartedJob(), nullptr, boxes);
        window.setResult(-1);
        QCoreApplication::postEvent(
            &window, new SessionEventMessage(SessionEventMessage::Kind::Stage, STAGE_SENDING));
        QCoreApplication::postEvent(
            &window, new SessionEventMessage(SessionEventMessage::Kind::Error, code));
        // Nothing after the end of the session is shown.
        QCoreApplication::postEvent(
            &window, new SessionEventMessage(SessionEventMessage::Kind::Stage, STAGE_DONE));
        QCoreApplication::sendPostedEvents(&window);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{text}) << code;
        EXPECT_EQ(window.result(), QDialog::Rejected) << code;
    }
}

TEST_F(ProgressWindow, ResultIsOkOnlyAfterDone) {
    DownloadProgressDialog window(UnstartedJob(), nullptr, service);
    window.setResult(-1);
    for (std::uint32_t stage : {STAGE_SENDING, STAGE_WRITING}) {
        QCoreApplication::postEvent(
            &window, new SessionEventMessage(SessionEventMessage::Kind::Stage, stage));
        QCoreApplication::sendPostedEvents(&window);
        EXPECT_EQ(window.result(), -1);
    }
    QCoreApplication::postEvent(
        &window, new SessionEventMessage(SessionEventMessage::Kind::Stage, STAGE_DONE));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.result(), QDialog::Accepted);
}

TEST_F(ProgressWindow, KeysAndCloseRequestsDoNotCloseIt) {
    recorder.setBehaviour([] {
        RecorderBehaviour b;
        b.stallAt = Step::FirstAck;
        return b;
    }());
    auto window = makeWindow(CMD_APPLICATION_IMAGE, Pattern(1000),
                             [](DownloadJob& job) { job.timeouts.firstAck = 20s; });
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->middleText() == kSending; }, 5000));
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space, Qt::Key_F4})
        QTest::keyClick(window.get(), static_cast<Qt::Key>(key));
    QTest::keyClick(window.get(), Qt::Key_F4, Qt::AltModifier);
    window->close();
    window->reject();
    QTest::qWait(50);
    EXPECT_TRUE(window->isVisible());
    // The recorder going away ends the session; only then does the window close.
    recorder.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_EQ(service.texts(), std::vector<std::string>{"Can't write a firmware."});
}

TEST_F(ProgressWindow, EveryProgressReportOfALargeImageShownInOrder) {
    int reported = 0;
    const int size = 8 << 20;
    auto window = makeWindow(CMD_APPLICATION_IMAGE, Pattern(size), [&](DownloadJob& job) {
        job.configureSocket = [&reported](int fd) {
            const int asked = 4096;
            ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &asked, sizeof asked);
            socklen_t len = sizeof reported;
            ::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &reported, &len);
        };
    });
    MessageLog log(*window);
    EXPECT_EQ(runToEnd(*window), QDialog::Accepted);
    std::vector<int> shown;  // the bar's position after each report
    for (std::size_t i = 1; i < log.seen.size(); ++i)
        if (log.seen[i - 1].message == SessionEventMessage::Kind::Progress)
            shown.push_back(log.seen[i].progress);
    ASSERT_GT(reported, 0);
    EXPECT_EQ(shown.size(), static_cast<std::size_t>((size + reported - 1) / reported));
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.back(), 100);
}

// A report costs the window next to nothing, so a flood of them (one per piece of a
// large image) never holds up its event loop.
TEST_F(ProgressWindow, FloodOfProgressReportsIsHandledQuickly) {
    // The recorder keeps the session in its handshake while the window is flooded.
    recorder.setBehaviour([] {
        RecorderBehaviour b;
        b.stallAt = Step::HandshakeReply;
        return b;
    }());
    auto window = makeWindow(CMD_APPLICATION_IMAGE, Pattern(10),
                             [](DownloadJob& job) { job.timeouts.handshakeReply = 20s; });
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    constexpr int kReports = 50'000;
    for (int i = 1; i <= kReports; ++i)
        QCoreApplication::postEvent(
            window.get(),
            new SessionEventMessage(SessionEventMessage::Kind::Progress,
                                    static_cast<std::uint32_t>(i * 100LL / kReports)));
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(window->progress(), 100);
    recorder.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_EQ(service.texts(), std::vector<std::string>{"It is not a DVR machine."});
}

TEST_F(ProgressWindow, WorkerOutlivingTheWaitIsReportedOnDestruction) {
    auto window = makeWindow(CMD_SERIAL_NUMBER, Pattern(4), [](DownloadJob& job) {
        job.timeouts.closeDelay = 800ms;
        job.timeouts.workerJoin = 50ms;
    });
    EXPECT_EQ(runToEnd(*window), QDialog::Accepted);
    std::weak_ptr<const void> payload = window->job().payload.owner;
    window.reset();
    EXPECT_EQ(service.texts(),
              std::vector<std::string>{
                  "It was occured a error during the network connection termination."});
    EXPECT_FALSE(payload.expired());  // the worker still runs on its own copy
    ASSERT_TRUE(recorder.waitForSessions(1, 5s));
    EXPECT_TRUE(recorder.sessions()[0].sawEof);
}

}  // namespace
}  // namespace imgdl::test

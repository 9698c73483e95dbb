// A session ended from another thread: whatever step it waits in, it ends within a
// second with "cancelled" as its cause, and a cancelled unit of work starts no session.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "RecorderSimulator.h"
#include "SessionTestSupport.h"
#include "session/ConnectRetry.h"
#include "session/DownloadProtocol.h"
#include "session/SessionThread.h"

namespace imgdl::test {
namespace {

using namespace std::chrono_literals;
using sim::RecorderBehaviour;
using sim::RecorderSimulator;
using sim::Step;

struct Cancelled {
    SessionOutcome outcome;
    std::chrono::milliseconds afterCancel;
};

// Starts the job, cancels it after `delay`, and times how long the session took to end.
Cancelled CancelAfter(DownloadJob job, std::chrono::milliseconds delay, int retries = 0) {
    auto cancel = std::make_shared<SessionCancel>();
    job.cancel = cancel;
    auto running = std::async(std::launch::async,
                              [job, retries] { return RunWithConnectRetries(job, retries, {}); });
    std::this_thread::sleep_for(delay);
    const auto cancelledAt = std::chrono::steady_clock::now();
    cancel->cancel();
    Cancelled c{running.get(), {}};
    c.afterCancel = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - cancelledAt);
    return c;
}

TEST(SessionCancel, EndsTheSessionWhereverItWaits) {
    const struct {
        const char* name;
        Step stallAt;
        std::uint32_t command;
        std::size_t payload;
        SessionStep step;
    } cases[] = {
        {"handshake", Step::HandshakeReply, CMD_MAC_AND_SERIAL, 12, SessionStep::Handshake},
        {"length echo", Step::LengthEcho, CMD_MAC_AND_SERIAL, 12, SessionStep::LengthEcho},
        {"payload", Step::Payload, CMD_APPLICATION_IMAGE, 16 << 20, SessionStep::Payload},
        {"first ack", Step::FirstAck, CMD_MAC_AND_SERIAL, 12, SessionStep::FirstAck},
        {"second ack", Step::SecondAck, CMD_MAC_AND_SERIAL, 12, SessionStep::WrittenAck},
    };
    for (const auto& c : cases) {
        RecorderBehaviour b;
        b.stallAt = c.stallAt;
        b.payloadBytesFirst = 65536;
        b.receiveBuffer = 4096;
        RecorderSimulator recorder(b);
        DownloadJob job = LoopbackJob(recorder.port(), c.command,
                                      std::vector<std::uint8_t>(c.payload, 0x5A), nullptr);
        job.timeouts = SessionTimeouts{};  // long: only the cancel ends the session
        job.timeouts.closeDelay = 0ms;
        const Cancelled run = CancelAfter(job, 300ms);
        recorder.releaseStall();
        EXPECT_NE(run.outcome.error, 0) << c.name;
        EXPECT_LT(run.afterCancel, 1s) << c.name;
        EXPECT_EQ(run.outcome.cause.step, c.step) << c.name;
        EXPECT_NE(run.outcome.cause.text.find("cancelled"), std::string::npos)
            << c.name << ": " << run.outcome.cause.text;
    }
}

TEST(SessionCancel, ACancelledUnitStartsNoSessionAndStopsWaitingToRetry) {
    RecorderSimulator recorder;
    auto cancel = std::make_shared<SessionCancel>();
    cancel->cancel();
    DownloadJob job =
        LoopbackJob(recorder.port(), CMD_MAC_AND_SERIAL, std::vector<std::uint8_t>(12, 1), nullptr);
    job.cancel = cancel;
    const SessionOutcome refused = RunDownloadSession(job);
    EXPECT_EQ(refused.cause.step, SessionStep::Connect);
    EXPECT_FALSE(recorder.waitForSessions(1, 200ms)) << "a cancelled unit connected";

    // A port nobody listens on: connects are refused and retried after 0.5 s, 1 s, 2 s...
    DownloadJob nowhere =
        LoopbackJob(1, CMD_MAC_AND_SERIAL, std::vector<std::uint8_t>(12, 1), nullptr);
    const Cancelled run = CancelAfter(nowhere, 700ms, 5);
    EXPECT_EQ(run.outcome.error, ERR_CONNECT);
    EXPECT_LT(run.afterCancel, 200ms);
}

}  // namespace
}  // namespace imgdl::test

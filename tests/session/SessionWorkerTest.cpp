// The worker against the loopback recorder: exact bytes on the wire, every error from
// the step that causes it, the pieces and progress reports, the bounded waits.
#include <arpa/inet.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "RecorderSimulator.h"
#include "SessionTestSupport.h"
#include "common/UniqueFd.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/DownloadWorker.h"
#include "session/SessionThread.h"
#include "session/SocketIo.h"

namespace imgdl::test {
namespace {

using namespace std::chrono_literals;
using sim::RecorderBehaviour;
using sim::RecorderSimulator;
using sim::Step;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

struct SessionRun {
    SessionOutcome outcome;
    std::vector<Posted> posted;
    sim::RecordedSession recorded;
};

// Runs one session against a fresh simulator and waits until the simulator has seen
// the end of it.
SessionRun RunAgainstRecorder(const RecorderBehaviour& behaviour, std::uint32_t command,
                              std::vector<std::uint8_t> payload,
                              const std::function<void(DownloadJob&)>& adjust = {}) {
    RecorderSimulator recorder(behaviour);
    EXPECT_TRUE(recorder.listening());
    auto sink = std::make_shared<RecordingSink>();
    DownloadJob job = LoopbackJob(recorder.port(), command, std::move(payload), sink);
    if (adjust) adjust(job);
    SessionRun run;
    run.outcome = RunDownloadSession(std::move(job));
    if (behaviour.stallAt == Step::Payload) recorder.releaseStall();
    EXPECT_TRUE(recorder.waitForSessions(1, 10s));
    run.posted = sink->posted();
    const auto sessions = recorder.sessions();
    if (!sessions.empty()) run.recorded = sessions.front();
    return run;
}

TEST(ProtocolWords, HandshakeReplyAndErrorMessages) {
    EXPECT_EQ(HandshakeReply(CMD_FIRMWARE_VERSION), 0xAB550009u);
    EXPECT_EQ(HandshakeReply(CMD_INTEGRATED_IMAGE), 0xAB550001u);
    const std::pair<int, std::string_view> messages[] = {
        {ERR_NETWORK, "Can't initialize network."},
        {ERR_CONNECT, "Can't connect to the machine."},
        {ERR_NOT_RECORDER, "It is not a DVR machine."},
        {ERR_LENGTH, "Can't check the image size."},
        {ERR_SEND, "Can't send data to the network."},
        {ERR_WRITE, "Can't write a firmware."},
        {ERR_INCOMPATIBLE, "The firmware is Incompatible with the DVR."},
    };
    for (const auto& [code, text] : messages) {
        ASSERT_TRUE(ErrorMessageId(code)) << code;
        EXPECT_EQ(LoadString(*ErrorMessageId(code)), text) << code;
    }
    EXPECT_FALSE(ErrorMessageId(4));
    EXPECT_FALSE(ErrorMessageId(6));
}

// Pieces and reports as SendInChunks plans them.
std::pair<std::vector<std::int32_t>, std::vector<std::uint32_t>> Plan(std::int32_t buffer,
                                                                      std::int32_t length) {
    std::vector<std::int32_t> pieces;
    std::vector<std::uint32_t> progress;
    std::int32_t piece = std::min(buffer, length);
    for (std::int64_t sent = 0; sent < length; sent += piece) {
        piece = NextPieceSize(piece, sent, length);
        pieces.push_back(piece);
        progress.push_back(ProgressPercent(sent + piece, length));
    }
    return {pieces, progress};
}

TEST(PiecePlan, PiecesAndProgress) {
    auto [pieces, progress] = Plan(8192, 20000);
    EXPECT_EQ(pieces, (std::vector<std::int32_t>{8192, 8192, 3616}));
    EXPECT_EQ(progress, (std::vector<std::uint32_t>{40, 81, 100}));
    std::tie(pieces, progress) = Plan(8192, 100);
    EXPECT_EQ(pieces, (std::vector<std::int32_t>{100}));
    EXPECT_EQ(progress, (std::vector<std::uint32_t>{100}));
    // No overflow at the top of the size range.
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(ProgressPercent(kMax - 1, kMax), 99u);
    EXPECT_EQ(ProgressPercent(kMax, kMax), 100u);
    EXPECT_EQ(ProgressPercent(0, 0), 0u);
    // A send-buffer size that cannot be read never gives pieces of 0 bytes.
    EXPECT_EQ(SendBufferPieceSize(-1), kFallbackPieceSize);
}

TEST(TargetAddress, SocketAddressInNetworkOrder) {
    const sockaddr_in peer = SocketAddressOf(RecorderAddress{{192, 168, 0, 1}, 5000, {}});
    const auto* a = reinterpret_cast<const std::uint8_t*>(&peer.sin_addr.s_addr);
    EXPECT_EQ(std::vector<std::uint8_t>(a, a + 4), Bytes({192, 168, 0, 1}));
    EXPECT_EQ(ntohs(peer.sin_port), 5000);
}

TEST(SessionBytes, CompatibilityCheckOfVersion123) {
    const auto run = RunAgainstRecorder({}, CMD_FIRMWARE_VERSION, Bytes({0x00, 0x03, 0x02, 0x01}));
    EXPECT_EQ(run.outcome.error, 0);
    EXPECT_EQ(run.recorded.received,
              Bytes({0x55, 0xAB, 0x00, 0x09, 0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x02, 0x01}));
    EXPECT_EQ(run.recorded.answers, std::vector<std::string>{"ACK"});
    EXPECT_EQ(run.posted, (std::vector<Posted>{{Event::Stage, STAGE_SENDING, {}},
                                               {Event::Progress, 100, {}},
                                               {Event::Stage, STAGE_DONE, {}}}));
    EXPECT_TRUE(run.recorded.sawEof);
    EXPECT_EQ(sim::DescribeSession(run.recorded),
              "CMD_FIRMWARE_VERSION length=4 version=1.2.3 answers=ACK ending=done");
}

TEST(SessionBytes, IntegratedImageOfAMillionBytes) {
    const auto image = Pattern(1'000'000);
    const auto run = RunAgainstRecorder({}, CMD_INTEGRATED_IMAGE, image);
    EXPECT_EQ(run.outcome.error, 0);
    auto expected = Bytes({0x55, 0xAB, 0x00, 0x01, 0x00, 0x0F, 0x42, 0x40});
    expected.insert(expected.end(), image.begin(), image.end());
    EXPECT_TRUE(run.recorded.received == expected);
    EXPECT_EQ(run.recorded.answers, (std::vector<std::string>{"ACK", "ACK"}));
    EXPECT_TRUE(run.recorded.sawEof);
    // Sending, progress rising to 100, writing, done.
    ASSERT_GE(run.posted.size(), 4u);
    EXPECT_EQ(run.posted.front(), (Posted{Event::Stage, STAGE_SENDING, {}}));
    std::uint32_t last = 0;
    std::size_t i = 1;
    for (; run.posted[i].event == Event::Progress; ++i) {
        EXPECT_GE(run.posted[i].value, last);
        last = run.posted[i].value;
    }
    EXPECT_EQ(last, 100u);
    EXPECT_EQ(
        std::vector<Posted>(run.posted.begin() + static_cast<long>(i), run.posted.end()),
        (std::vector<Posted>{{Event::Stage, STAGE_WRITING, {}}, {Event::Stage, STAGE_DONE, {}}}));
}

TEST(SessionBytes, EmptyPayloadSendsNoProgress) {
    const auto run = RunAgainstRecorder({}, CMD_PTZ_IMAGE, {});
    EXPECT_EQ(run.outcome.error, 0);
    EXPECT_TRUE(run.posted.size() == 3u && run.posted[0].value == STAGE_SENDING &&
                run.posted[1].value == STAGE_WRITING && run.posted[2].value == STAGE_DONE);
}

struct ErrorCase {
    const char* name;
    RecorderBehaviour behaviour;
    std::uint32_t command;
    std::size_t payloadSize;
    int expected;
    // The stage messages seen before the error.
    std::vector<std::uint32_t> stages;
    bool clientClosesFirst;  // the simulator sees the client close its end
};

RecorderBehaviour B(std::function<void(RecorderBehaviour&)> f) {
    RecorderBehaviour b;
    f(b);
    return b;
}

class SessionErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(SessionErrors, ReportsOneCodeFromTheStepThatFails) {
    const ErrorCase& c = GetParam();
    const auto run = RunAgainstRecorder(c.behaviour, c.command, Pattern(c.payloadSize));
    EXPECT_EQ(run.outcome.error, c.expected);
    EXPECT_TRUE(run.outcome.workerEnded);
    std::vector<std::uint32_t> errors;
    std::vector<std::uint32_t> stages;
    for (const auto& p : run.posted) {
        if (p.event == Event::Error) errors.push_back(p.value);
        if (p.event == Event::Stage) stages.push_back(p.value);
    }
    EXPECT_EQ(errors, std::vector<std::uint32_t>{static_cast<std::uint32_t>(c.expected)});
    EXPECT_EQ(run.posted.back().event, Event::Error);
    EXPECT_EQ(stages, c.stages);
    if (c.clientClosesFirst) {
        EXPECT_TRUE(run.recorded.sawEof) << run.recorded.ending;
    }
}

const std::vector<std::uint32_t> kNone;
const std::vector<std::uint32_t> kSending{STAGE_SENDING};
const std::vector<std::uint32_t> kWriting{STAGE_SENDING, STAGE_WRITING};

INSTANTIATE_TEST_SUITE_P(
    AllSteps, SessionErrors,
    testing::Values(
        ErrorCase{"WrongHandshakeReply", B([](auto& b) { b.handshakeReply = 0xAB550001; }),
                  CMD_FIRMWARE_VERSION, 4, ERR_NOT_RECORDER, kNone, true},
        ErrorCase{"ClosedBeforeHandshakeReply",
                  B([](auto& b) { b.closeBefore = Step::HandshakeReply; }), CMD_APPLICATION_IMAGE,
                  100, ERR_NOT_RECORDER, kNone, false},
        ErrorCase{"NoHandshakeReply", B([](auto& b) { b.stallAt = Step::HandshakeReply; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_NOT_RECORDER, kNone, true},
        ErrorCase{"LengthEchoOffByOne", B([](auto& b) { b.lengthEcho = 101; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_LENGTH, kNone, true},
        ErrorCase{"ClosedBeforeLengthEcho", B([](auto& b) { b.closeBefore = Step::LengthEcho; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_LENGTH, kNone, false},
        ErrorCase{"NoLengthEcho", B([](auto& b) { b.stallAt = Step::LengthEcho; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_LENGTH, kNone, true},
        ErrorCase{"ClosedDuringPayload", B([](auto& b) {
                      b.closeBefore = Step::Payload;
                      b.payloadBytesFirst = 65536;
                      b.receiveBuffer = 4096;
                  }),
                  CMD_APPLICATION_IMAGE, 16 << 20, ERR_SEND, kSending, false},
        ErrorCase{"StopsReadingPayload", B([](auto& b) {
                      b.stallAt = Step::Payload;
                      b.payloadBytesFirst = 65536;
                      b.receiveBuffer = 4096;
                  }),
                  CMD_APPLICATION_IMAGE, 16 << 20, ERR_NETWORK, kSending, true},
        ErrorCase{"ClosedBeforeFirstAck", B([](auto& b) { b.closeBefore = Step::FirstAck; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_WRITE, kSending, false},
        ErrorCase{"GarbageFirstAck", B([](auto& b) { b.firstAck = 0x12345678; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_WRITE, kSending, true},
        ErrorCase{"IncompatibleToAnImage", B([](auto& b) { b.firstAck = REPLY_INCOMPATIBLE; }),
                  CMD_PTZ_IMAGE, 100, ERR_WRITE, kSending, true},
        ErrorCase{"NoFirstAck", B([](auto& b) { b.stallAt = Step::FirstAck; }),
                  CMD_APPLICATION_IMAGE, 100, ERR_WRITE, kSending, true},
        ErrorCase{"ClosedBeforeSecondAck", B([](auto& b) { b.closeBefore = Step::SecondAck; }),
                  CMD_INTEGRATED_IMAGE, 100, ERR_WRITE, kWriting, false},
        ErrorCase{"GarbageSecondAck", B([](auto& b) { b.secondAck = REPLY_INCOMPATIBLE; }),
                  CMD_INTEGRATED_IMAGE, 100, ERR_WRITE, kWriting, true},
        ErrorCase{"NoSecondAck", B([](auto& b) { b.stallAt = Step::SecondAck; }), CMD_MAC_ADDRESS,
                  8, ERR_WRITE, kWriting, true},
        ErrorCase{"Incompatible", B([](auto& b) { b.incompatible = true; }), CMD_FIRMWARE_VERSION,
                  4, ERR_INCOMPATIBLE, kSending, true},
        ErrorCase{"GarbageVersionAnswer", B([](auto& b) { b.firstAck = 0xAB55FF02; }),
                  CMD_FIRMWARE_VERSION, 4, ERR_WRITE, kSending, true},
        ErrorCase{"ClosedBeforeVersionAnswer", B([](auto& b) { b.closeBefore = Step::FirstAck; }),
                  CMD_FIRMWARE_VERSION, 4, ERR_WRITE, kSending, false},
        ErrorCase{"NoVersionAnswer", B([](auto& b) { b.stallAt = Step::FirstAck; }),
                  CMD_FIRMWARE_VERSION, 4, ERR_WRITE, kSending, true}),
    [](const auto& info) { return std::string(info.param.name); });

// With SIGPIPE at its default action, a send into a connection whose peer is gone
// would end this process; every send of the session must fail with an error instead.
TEST(SessionSignals, SendToAClosedPeerRaisesNoSigpipe) {
    struct sigaction saved {};
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ASSERT_EQ(::sigaction(SIGPIPE, &byDefault, &saved), 0);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd mine(pair[0]);
    ::close(pair[1]);
    const std::uint8_t bytes[8] = {};
    EXPECT_EQ(SendOnce(mine.get(), bytes, sizeof bytes), -1);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_FALSE(SendWord(mine.get(), CMD_PTZ_IMAGE));
    ::sigaction(SIGPIPE, &saved, nullptr);
}

TEST(SessionSuccess, WordsInTwoSegmentsAndASlowWrite) {
    RecorderBehaviour b;
    b.splitWords = true;
    b.writeDelay = 200ms;
    const auto run = RunAgainstRecorder(b, CMD_MAC_AND_SERIAL, Pattern(12));
    EXPECT_EQ(run.outcome.error, 0);
    EXPECT_EQ(run.recorded.answers, (std::vector<std::string>{"ACK", "ACK"}));
}

TEST(SessionSuccess, ConnectionStaysOpenHalfASecondAfterDone) {
    const auto run = RunAgainstRecorder({}, CMD_SERIAL_NUMBER, Pattern(4), [](DownloadJob& job) {
        job.timeouts.closeDelay = SessionTimeouts{}.closeDelay;
    });
    ASSERT_EQ(run.outcome.error, 0);
    ASSERT_TRUE(run.recorded.sawEof);
    const auto open = run.recorded.eofAt - run.posted.back().at;
    EXPECT_GE(open, 490ms);
    EXPECT_LT(open, 2s);
}

TEST(SessionSuccess, TwoSessionsInARowEachWithItsOwnConnection) {
    RecorderSimulator recorder;
    auto sink = std::make_shared<RecordingSink>();
    EXPECT_EQ(
        RunDownloadSession(LoopbackJob(recorder.port(), CMD_FIRMWARE_VERSION, Pattern(4), sink))
            .error,
        0);
    EXPECT_EQ(
        RunDownloadSession(LoopbackJob(recorder.port(), CMD_APPLICATION_IMAGE, Pattern(5000), sink))
            .error,
        0);
    ASSERT_TRUE(recorder.waitForSessions(2, 5s));
    const auto sessions = recorder.sessions();
    EXPECT_EQ(sessions[0].command, CMD_FIRMWARE_VERSION);
    EXPECT_EQ(sessions[1].command, CMD_APPLICATION_IMAGE);
    EXPECT_EQ(sessions[1].payload, Pattern(5000));
    EXPECT_TRUE(sessions[0].sawEof && sessions[1].sawEof);
}

// The pieces follow the send-buffer size the kernel reports for the socket (Linux
// doubles what was asked for).
class SendBufferPieces : public testing::TestWithParam<int> {};

TEST_P(SendBufferPieces, ProgressFollowsTheReportedBufferSize) {
    int reported = 0;
    const auto run =
        RunAgainstRecorder({}, CMD_APPLICATION_IMAGE, Pattern(20000), [&](DownloadJob& job) {
            job.configureSocket = [&reported, asked = GetParam()](int fd) {
                ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &asked, sizeof asked);
                socklen_t len = sizeof reported;
                ::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &reported, &len);
            };
        });
    ASSERT_EQ(run.outcome.error, 0);
    ASSERT_GT(reported, 0);
    std::vector<std::uint32_t> progress;
    for (const auto& p : run.posted)
        if (p.event == Event::Progress) progress.push_back(p.value);
    EXPECT_EQ(progress, Plan(reported, 20000).second) << "SO_SNDBUF reads " << reported;
    EXPECT_EQ(run.recorded.payload, Pattern(20000));
    if (reported == 8192) {
        EXPECT_EQ(progress, (std::vector<std::uint32_t>{40, 81, 100}));
    }
}

INSTANTIATE_TEST_SUITE_P(AskedSizes, SendBufferPieces, testing::Values(4096, 8192));

TEST(SessionConnect, ClosedPortIsErrConnect) {
    // A bound socket that does not listen: the port stays taken and refuses.
    UniqueFd closed(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(closed.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t len = sizeof address;
    ::getsockname(closed.get(), reinterpret_cast<sockaddr*>(&address), &len);
    auto sink = std::make_shared<RecordingSink>();
    const auto outcome =
        RunDownloadSession(LoopbackJob(ntohs(address.sin_port), CMD_PTZ_IMAGE, Pattern(10), sink));
    EXPECT_EQ(outcome.error, ERR_CONNECT);
    EXPECT_EQ(sink->posted(), (std::vector<Posted>{{Event::Error, ERR_CONNECT, {}}}));
}

// A listener whose accept queue is full drops further connection requests, so the
// connect neither succeeds nor fails: the connect bound must end it.
TEST(SessionConnect, UnansweredConnectGivesUpWithErrConnect) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.get(), 0), 0);
    socklen_t len = sizeof address;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &len);
    std::vector<UniqueFd> fillers;
    for (int i = 0; i < 2; ++i) {
        fillers.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back().get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    std::this_thread::sleep_for(50ms);
    auto sink = std::make_shared<RecordingSink>();
    DownloadJob job = LoopbackJob(ntohs(address.sin_port), CMD_PTZ_IMAGE, Pattern(10), sink);
    job.timeouts.connect = 300ms;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RunDownloadSession(std::move(job)).error, ERR_CONNECT);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 290ms);
}

TEST(SessionConnect, NoSocketIsErrNetwork) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    auto sink = std::make_shared<RecordingSink>();
    const DownloadJob job = LoopbackJob(9, CMD_PTZ_IMAGE, Pattern(10), sink);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    const int result = DownloadWorker(job);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, ERR_NETWORK);
    EXPECT_EQ(sink->posted(), (std::vector<Posted>{{Event::Error, ERR_NETWORK, {}}}));
}

TEST(SessionThread, WorkerOutlivingTheBoundKeepsItsJob) {
    RecorderSimulator recorder;
    auto sink = std::make_shared<RecordingSink>();
    DownloadJob job = LoopbackJob(recorder.port(), CMD_SERIAL_NUMBER, Pattern(4), sink);
    std::weak_ptr<const void> payload = job.payload.owner;
    job.timeouts.closeDelay = 600ms;  // the worker lingers after STAGE_DONE
    job.timeouts.workerJoin = 50ms;
    const auto outcome = RunDownloadSession(std::move(job));
    EXPECT_EQ(outcome.error, 0);
    EXPECT_FALSE(outcome.workerEnded);
    EXPECT_FALSE(payload.expired());  // the detached worker still holds it
    ASSERT_TRUE(recorder.waitForSessions(1, 5s));
    EXPECT_TRUE(recorder.sessions()[0].sawEof);
    for (int i = 0; i < 100 && !payload.expired(); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(payload.expired());
}

// A station's port runs its sessions on its own thread: the same outcome, cause and
// reports as on a worker thread, every report made on the caller's thread.
TEST(SessionOnCallersThread, EndsAsOnAWorkerThread) {
    struct Case {
        const char* name;
        RecorderBehaviour behaviour;
    };
    RecorderBehaviour wrongReply, closedBeforeAck, refusedWrite;
    wrongReply.handshakeReply = 0x12345678;
    closedBeforeAck.closeBefore = Step::FirstAck;
    refusedWrite.secondAck = 0xDEADBEEF;
    const Case cases[] = {{"well", {}},
                          {"wrong reply", wrongReply},
                          {"closed before the ack", closedBeforeAck},
                          {"write refused", refusedWrite}};
    for (const auto& c : cases) {
        std::vector<SessionRun> runs;
        for (const auto threading :
             {SessionThreading::OwnThread, SessionThreading::CallersThread}) {
            RecorderSimulator recorder(c.behaviour);
            auto sink = std::make_shared<RecordingSink>();
            std::set<std::thread::id> reporters;
            auto job = LoopbackJob(recorder.port(), CMD_APPLICATION_IMAGE, Pattern(5000), sink);
            job.trace = [&](std::string_view, bool, std::optional<std::uint32_t>) {
                reporters.insert(std::this_thread::get_id());
            };
            SessionRun run;
            run.outcome = RunDownloadSession(std::move(job), threading);
            run.posted = sink->posted();
            runs.push_back(run);
            if (threading == SessionThreading::CallersThread)
                EXPECT_EQ(reporters, std::set{std::this_thread::get_id()}) << c.name;
            else
                EXPECT_EQ(reporters.count(std::this_thread::get_id()), 0u) << c.name;
        }
        EXPECT_EQ(runs[1].outcome.error, runs[0].outcome.error) << c.name;
        EXPECT_EQ(runs[1].outcome.cause.step, runs[0].outcome.cause.step) << c.name;
        EXPECT_EQ(runs[1].outcome.cause.text, runs[0].outcome.cause.text) << c.name;
        EXPECT_TRUE(runs[1].outcome.workerEnded) << c.name;
        EXPECT_EQ(runs[1].posted, runs[0].posted) << c.name;
    }
}

}  // namespace
}  // namespace imgdl::test

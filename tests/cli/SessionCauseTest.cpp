// What a script reads of a failed session: the step it stopped at, why, and whether any
// of the payload left, for every way a recorder can misbehave; and targets refused where
// they are typed, before anything is allocated or sent.
#include <gmock/gmock.h>

#include <filesystem>

#include "Background.h"
#include "CliTestSupport.h"
#include "JsonTestSupport.h"

namespace imgdl::test {
namespace {

using nlohmann::json;
using testing::HasSubstr;

class SessionCause : public CliTest {
  protected:
    std::string simDir(const std::string& name) {
        std::filesystem::create_directories(file(name));
        return file(name);
    }
};

// One application image per recorder-sim script; the version check is the first session,
// the image the second.
TEST_F(SessionCause, EveryMisbehaviourNamesItsStepAndCause) {
    const struct {
        const char* script;
        const char* step;
        bool payloadSent;
        const char* cause;
    } cases[] = {
        {"incompatible", "first acknowledgement", true, "refused version 0x01020300"},
        {"ok,close-before-ack", "first acknowledgement", true, "connection closed by the recorder"},
        {"ok,close-between-acks", "written acknowledgement", true,
         "connection closed by the recorder"},
        {"ok,garbage-ack", "first acknowledgement", true, "reply 0x12345678 is not 0xAB55AB55"},
        {"bad-echo", "length echo", false, "is not 0x00000004"},
        {"ok,stall", "first acknowledgement", true, "no reply within 1 s"},
        {"ok,stop-reading", "payload", true, "no progress for 1 s after "},
    };
    // Large enough that a recorder that stops reading fills every buffer between them.
    testimage::ApplicationOptions options;
    options.trailing = 24 << 20;
    const std::string image = write("big.bin", testimage::BuildApplicationImage(options));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        SimulatorProcess sim(simDir(std::string("sim-") + c.script), 1, c.script);
        const Result r = imgdl("send app " + image +
                               " --json --ack-timeout 1 --write-timeout 1 "
                               "--target " +
                               sim.target());
        const json outcome = JsonDocument(r.out);
        EXPECT_EQ(r.exit, 3) << r.err;
        EXPECT_EQ(outcome["step"], c.step);
        EXPECT_THAT(outcome["cause"].get<std::string>(), HasSubstr(c.cause));
        EXPECT_EQ(outcome["payload_sent"], c.payloadSent);
        EXPECT_EQ(outcome["payload_bytes"].get<std::uint64_t>() > 0, c.payloadSent);
        // The operator's text stays, the cause follows it on standard error.
        EXPECT_THAT(r.err, HasSubstr(outcome["message"].get<std::string>() + " (" +
                                     outcome["cause"].get<std::string>() + ")\n"));
    }
}

TEST_F(SessionCause, NobodyListeningIsARefusedConnect) {
    const Result r = imgdl("send app " + app() + " --json --target 127.0.0.1:1");
    EXPECT_EQ(r.exit, 3);
    const json outcome = JsonDocument(r.out);
    EXPECT_EQ(outcome["step"], "connect");
    EXPECT_EQ(outcome["cause"], "connect 127.0.0.1:1: Connection refused");
    EXPECT_EQ(outcome["payload_sent"], false);
    EXPECT_THAT(r.err, HasSubstr("Can't connect to the machine. (connect 127.0.0.1:1: "
                                 "Connection refused)\n"));
}

// Whatever a person or a station file gives as a target is refused where it is read:
// a usage error, nothing allocated, nothing retried, nothing printed raw.
TEST_F(SessionCause, TargetsThatAreNoAddressAreUsageErrors) {
    const std::string ledger = file("ledger.sqlite");
    ASSERT_EQ(imgdl("ledger init --ledger " + ledger +
                    " --mac-first 0012ab000000 --mac-last 0012AB000009 --serial-first 1")
                  .exit,
              0);
    for (const std::string target :
         {"foo", "localhost:5000", "127.1", "0x7f.0.0.1", "127.0.0.1:0", "127.0.0.1:70000",
          "127.0.0.256", "127.0.0.1\n", "127.0.0.1\x1b[2J", "127.0.0.1,127.0.0.2", "127.0.0.\xff",
          "1.2.3.4.5", "127.0.0.1%lo"}) {
        SCOPED_TRACE(testing::PrintToString(target));
        const Result r = imgdl("provision identity --retries 3 --ledger " + ledger + " --target '" +
                               target + "'");
        EXPECT_EQ(r.exit, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr("--target must be"));
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
        EXPECT_EQ(r.err.find('\xff'), std::string::npos);
    }
    const Result list = imgdl("ledger list --csv --ledger " + ledger);
    EXPECT_EQ(SplitLines(list.out).size(), 1u) << list.out;  // the header alone
}

}  // namespace
}  // namespace imgdl::test

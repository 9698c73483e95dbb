// imgdl ledger and imgdl provision as a production line's script runs them: exit codes,
// one line per unit on standard output, and what the ledger holds afterwards, against
// recorder-sim processes on 127.0.0.1 that succeed or fail at a chosen step.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <map>
#include <set>

#include "Background.h"
#include "CliTestSupport.h"
#include "common/Sha256.h"
#include "flows/DownloadFlows.h"
#include "image/IdentityPatch.h"
#include "ledger/LedgerTestSupport.h"
#include "ledger/RedactUri.h"
#include "session/MacAddress.h"

namespace imgdl::test {
namespace {

using testing::HasSubstr;
using testing::Not;

// One row of `imgdl ledger list --csv`.
struct Row {
    std::string mac, serial, result, target, kind, sha256, version, ended, station, message;
};

class ProvisionTest : public CliTest {
  protected:
    std::string dir() { return file("").substr(0, file("").size() - 1); }
    std::string ledger() { return file("ledger.sqlite"); }
    static std::string Quote(const std::string& s) { return "'" + s + "'"; }

    // A ledger of `units` MACs from 0012AB000000, serials from 1000.
    void init(const std::string& location, int units) {
        char last[13];
        std::snprintf(last, sizeof last, "0012AB%06X", units - 1);
        const Result r =
            imgdl("ledger init --ledger " + Quote(location) +
                  " --mac-first 0012ab000000 --mac-last " + last + " --serial-first 1000");
        ASSERT_EQ(r.exit, 0) << r.err;
    }
    std::vector<Row> rows(const std::string& location) {
        const Result r = imgdl("ledger list --csv --ledger " + Quote(location));
        EXPECT_EQ(r.exit, 0) << r.err;
        std::vector<Row> found;
        const auto lines = SplitLines(r.out);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            auto f = SplitWords(lines[i], ',');
            f.resize(12);
            found.push_back({f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[9], f[10], f[11]});
        }
        return found;
    }
    static std::string Targets(const std::vector<std::string>& targets) {
        std::string words;
        for (const auto& t : targets) words += " --target " + t;
        return words;
    }
    // The words of each standard output line: TARGET MAC SERIAL RESULT...
    static std::vector<std::vector<std::string>> Units(const std::string& out) {
        std::vector<std::vector<std::string>> units;
        for (const auto& line : SplitLines(out)) units.push_back(SplitWords(line));
        return units;
    }
    std::string integratedImage() {
        testimage::IntegratedOptions options;
        return write("int.bin", testimage::BuildIntegratedImage(options));
    }
};

TEST_F(ProvisionTest, LedgerInitStatusAndListAsAScriptSeesThem) {
    init(ledger(), 256);
    Result r = imgdl("ledger init --ledger " + ledger() +
                     " --mac-first 0012AB000000 --mac-last 0012AB0000FF --serial-first 1");
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("already"));

    r = imgdl("ledger status --ledger " + ledger());
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("range: 0012AB000000-0012AB0000FF, serial 1000-1255, 256 units"));
    EXPECT_THAT(r.out, HasSubstr("free: 256\n"));
    EXPECT_THAT(r.out, HasSubstr("next: MAC 0012AB000000 serial 1000\n"));
    EXPECT_EQ(r.err, "");

    r = imgdl("ledger list --ledger " + ledger());
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "");

    for (const char* missing : {"status", "list"}) {
        r = imgdl(std::string("ledger ") + missing + " --ledger " + file("none.sqlite"));
        EXPECT_EQ(r.exit, 2) << missing;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(std::filesystem::exists(file("none.sqlite")));
    }
}

TEST_F(ProvisionTest, BadRangesAreRefusedWithTheReason) {
    const struct {
        const char* first;
        const char* last;
        const char* serial;
        int exit;
    } kCases[] = {
        {"0012AB0000FF", "0012AB000000", "1", 2},           // first above last
        {"0112AB000000", "0112AB0000FF", "1", 2},           // multicast
        {"000000000000", "0000000000FF", "1", 2},           // all-zero address
        {"0012AB00000", "0012AB0000FF", "1", 2},            // eleven digits
        {"0012AB00000G", "0012AB0000FF", "1", 2},           // not hex
        {"0012AB000000", "0012AB0000FF", "4294967295", 2},  // serials past 32 bits
        {"0012AB000000", "0012AB0000FF", "-1", 2},
    };
    for (const auto& c : kCases) {
        const Result r = imgdl("ledger init --ledger " + ledger() + " --mac-first " + c.first +
                               " --mac-last " + c.last + " --serial-first " + c.serial);
        EXPECT_EQ(r.exit, c.exit) << c.first << " " << c.last << " " << c.serial;
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr("imgdl: ")) << c.first;
        EXPECT_EQ(imgdl("ledger status --ledger " + ledger()).exit, 2) << "nothing created";
    }
    const Result usage = imgdl("ledger init --ledger " + ledger() + " --mac-first 0012AB000000");
    EXPECT_EQ(usage.exit, 1);
    EXPECT_EQ(imgdl("ledger --help").exit, 0);
}

TEST_F(ProvisionTest, TheDefaultLedgerLivesUnderXdgDataHome) {
    const std::string env = "env XDG_DATA_HOME=" + file("data") + " " + IMGDL_PROGRAM;
    Result r =
        run(env, "ledger init --mac-first 0012AB000000 --mac-last 0012AB00000F --serial-first 7");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(file("data/imgdl/ledger.sqlite")));
    r = run(env, "ledger status");
    EXPECT_THAT(r.out, HasSubstr("next: MAC 0012AB000000 serial 7"));
}

TEST_F(ProvisionTest, IdentityOnThreeRecordersGivesThreeDistinctUnits) {
    SimulatorProcess sim(dir(), 3);
    init(ledger(), 100);
    const Result r = imgdl("provision identity --ledger " + ledger() + " --jobs 3" +
                           Targets({sim.target(0), sim.target(1), sim.target(2)}));
    ASSERT_EQ(r.exit, 0) << r.err;
    const auto units = Units(r.out);
    ASSERT_EQ(units.size(), 3u) << r.out;
    std::set<std::string> macs, serials, targets;
    for (const auto& u : units) {
        ASSERT_EQ(u.size(), 4u) << r.out;
        EXPECT_EQ(u[3], "done");
        targets.insert(u[0]);
        macs.insert(u[1]);
        serials.insert(u[2]);
    }
    EXPECT_EQ(macs, (std::set<std::string>{"0012AB000000", "0012AB000001", "0012AB000002"}));
    EXPECT_EQ(serials, (std::set<std::string>{"1000", "1001", "1002"}));
    EXPECT_EQ(targets.size(), 3u);
    // What each recorder received is what the ledger holds for it.
    const auto written = sim.sessions();
    ASSERT_EQ(written.size(), 3u);
    for (const auto& u : units)
        EXPECT_THAT(written,
                    testing::Contains(HasSubstr(u[0] + " CMD_MAC_AND_SERIAL length=12 mac=" + u[1] +
                                                " serial=" + u[2])));
    const auto stored = rows(ledger());
    ASSERT_EQ(stored.size(), 3u);
    for (const Row& row : stored) {
        EXPECT_EQ(row.result, "done");
        EXPECT_EQ(row.kind, "identity");
        EXPECT_FALSE(row.ended.empty());
        EXPECT_FALSE(row.station.empty());
    }
}

TEST_F(ProvisionTest, IntegratedUnitsEachGetTheirOwnPatchedCopy) {
    std::filesystem::create_directories(file("saved"));
    SimulatorProcess sim(dir(), 3, "", {"--save-dir", file("saved")});
    init(ledger(), 100);
    const std::string image = integratedImage();
    // The dialog's copy in the working folder is neither used nor removed.
    write(kIntegratedCopyName, {1, 2, 3});
    const Result r = imgdl("provision integrated " + image + " --ledger " + ledger() + " --jobs 3" +
                           Targets({sim.target(0), sim.target(1), sim.target(2)}));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(testimage::ReadFile(file(kIntegratedCopyName)), (std::vector<std::uint8_t>{1, 2, 3}));

    std::map<std::string, std::string> macOfTarget;
    for (const auto& u : Units(r.out)) macOfTarget[u[0]] = u[1] + " " + u[2];
    ASSERT_EQ(macOfTarget.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto sent = testimage::ReadFile(
            file("saved/" + std::to_string(sim.port(i)) + "-session-2-CMD_INTEGRATED_IMAGE.bin"));
        ASSERT_EQ(sent.size(), testimage::ReadFile(image).size());
        EXPECT_EQ(FormatMacAddress(PatchedMacAddress(sent)) + " " +
                      std::to_string(PatchedSerialNumber(sent)),
                  macOfTarget[sim.target(i)]);
    }
    const std::string sha = *Sha256OfFile(image);
    for (const Row& row : rows(ledger())) {
        EXPECT_EQ(row.result, "done");
        EXPECT_EQ(row.kind, "integrated");
        EXPECT_EQ(row.sha256, sha);
        EXPECT_EQ(row.version, "1.2.3");
    }
}

// A unit that fails before its payload gives its numbers to the next unit; one that fails
// once the payload may have reached it keeps them, as uncertain.
TEST_F(ProvisionTest, FailuresReleaseOrKeepTheNumbersByWhereTheyHappened) {
    const struct {
        const char* kind;
        const char* script;
        const char* extra;
        const char* stored;
    } kCases[] = {
        {"identity", "bad-echo", "", "released"},
        {"identity", "close-before-ack", "", "uncertain"},
        {"identity", "close-between-acks", "", "uncertain"},
        {"identity", "garbage-ack", "", "uncertain"},
        {"identity", "stall", " --ack-timeout 0.5", "uncertain"},
        {"integrated", "incompatible", "", "released"},
        {"integrated", "bad-echo", "", "released"},
        {"integrated", "ok,bad-echo", "", "released"},
        {"integrated", "ok,close-before-ack", "", "uncertain"},
        {"integrated", "ok,close-between-acks", "", "uncertain"},
    };
    const std::string image = integratedImage();
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.script);
        const std::string location = file(std::string(c.kind) + "-" + c.script + ".sqlite");
        const std::string simDir = file(std::string("sim-") + c.kind + "-" + c.script);
        std::filesystem::create_directories(simDir);
        SimulatorProcess sim(simDir, 1, c.script);
        init(location, 100);
        const std::string what =
            std::string(c.kind) == "integrated" ? "integrated " + image : "identity";
        const Result r = imgdl("provision " + what + " --ledger " + location + c.extra +
                               Targets({sim.target(), sim.target()}));
        EXPECT_EQ(r.exit, 3) << r.err;
        const auto units = Units(r.out);
        ASSERT_EQ(units.size(), 2u) << r.out;
        EXPECT_NE(units[0][3], "done");
        EXPECT_EQ(units[1][3], "done");
        const auto stored = rows(location);
        ASSERT_EQ(stored.size(), 2u);
        EXPECT_EQ(stored[0].result, c.stored);
        EXPECT_EQ(stored[0].mac, "0012AB000000");
        EXPECT_EQ(stored[0].message, r.out.substr(r.out.find(units[0][3]),
                                                  r.out.find('\n') - r.out.find(units[0][3])));
        const bool reused = std::string(c.stored) == "released";
        EXPECT_EQ(stored[1].mac, reused ? "0012AB000000" : "0012AB000001");
        EXPECT_EQ(stored[1].serial, reused ? "1000" : "1001");
        EXPECT_EQ(stored[1].result, "done");
    }
}

TEST_F(ProvisionTest, ARefusedConnectionIsReleased) {
    SimulatorProcess sim(dir(), 1);
    init(ledger(), 10);
    // A port nothing listens on: a probe socket bound and closed again.
    const std::string closed = "127.0.0.1:" + std::to_string(FreePort());
    const Result r =
        imgdl("provision identity --ledger " + ledger() + Targets({closed, sim.target()}));
    EXPECT_EQ(r.exit, 3);
    const auto stored = rows(ledger());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].result, "released");
    EXPECT_EQ(stored[1].mac, "0012AB000000");
    EXPECT_EQ(stored[1].result, "done");
}

TEST_F(ProvisionTest, BadImagesAreRefusedBeforeAnythingIsAllocated) {
    SimulatorProcess sim(dir(), 1);
    init(ledger(), 10);
    auto noTag = testimage::IntegratedOptions{};
    noTag.application.tag = std::nullopt;
    const std::string cases[] = {
        file("missing.bin"),
        write("small.bin", std::vector<std::uint8_t>(1000, 0)),
        write("notag.bin", testimage::BuildIntegratedImage(noTag)),
        dir(),
    };
    for (const auto& image : cases) {
        const Result r = imgdl("provision integrated " + image + " --ledger " + ledger() +
                               Targets({sim.target()}));
        EXPECT_EQ(r.exit, 2) << image;
        EXPECT_EQ(r.out, "") << image;
        EXPECT_NE(r.err, "") << image;
    }
    EXPECT_TRUE(rows(ledger()).empty());
    EXPECT_TRUE(sim.sessions().empty());
}

TEST_F(ProvisionTest, AMissingOrExhaustedLedgerRefusesBeforeAnyConnection) {
    SimulatorProcess sim(dir(), 1);
    Result r = imgdl("provision identity --ledger " + ledger() + Targets({sim.target()}));
    EXPECT_EQ(r.exit, 2);
    EXPECT_FALSE(std::filesystem::exists(ledger()));

    init(ledger(), 3);
    r = imgdl("provision identity --ledger " + ledger() +
              Targets({sim.target(), sim.target(), sim.target(), sim.target()}));
    EXPECT_EQ(r.exit, 2) << "four targets, three numbers";
    EXPECT_TRUE(rows(ledger()).empty());

    r = imgdl("provision identity --ledger " + ledger() +
              Targets({sim.target(), sim.target(), sim.target()}));
    EXPECT_EQ(r.exit, 0) << r.err;
    r = imgdl("ledger status --ledger " + ledger());
    EXPECT_THAT(r.out, HasSubstr("free: 0\n"));
    EXPECT_THAT(r.out, HasSubstr("next: none"));
    EXPECT_THAT(r.err, HasSubstr("warning"));

    r = imgdl("provision identity --ledger " + ledger() + Targets({sim.target()}));
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(rows(ledger()).size(), 3u);
    EXPECT_EQ(sim.sessions().size(), 3u);
}

TEST_F(ProvisionTest, TwoProcessesOnOneLedgerNeverShareANumber) {
    SimulatorProcess sim(dir(), 4);
    init(ledger(), 1000);
    std::vector<std::string> args[2];
    for (int p = 0; p < 2; ++p) {
        args[p] = {IMGDL_PROGRAM, "provision", "identity", "--ledger", ledger(), "--jobs", "2"};
        for (int i = 0; i < 20; ++i)
            args[p].insert(args[p].end(), {"--target", sim.target(2 * p + i % 2)});
    }
    Background first(args[0], file("1.out"), file("1.err"));
    Background second(args[1], file("2.out"), file("2.err"));
    EXPECT_EQ(first.wait(), 0) << ReadText(file("1.err"));
    EXPECT_EQ(second.wait(), 0) << ReadText(file("2.err"));
    std::set<std::string> macs, serials;
    for (const auto& out : {file("1.out"), file("2.out")})
        for (const auto& u : Units(ReadText(out))) {
            macs.insert(u[1]);
            serials.insert(u[2]);
        }
    EXPECT_EQ(macs.size(), 40u);
    EXPECT_EQ(serials.size(), 40u);
    EXPECT_EQ(rows(ledger()).size(), 40u);
}

TEST_F(ProvisionTest, PostgresLedgerKeepsItsPasswordOutOfEveryOutput) {
    ScratchLedger scratch(Backend::Postgres);
    if (scratch.location().empty()) GTEST_SKIP() << scratch.skipReason();
    const std::string uri = scratch.location();
    const auto passwords = ledger::UriPasswords(uri);
    ASSERT_FALSE(passwords.empty()) << "the test server's URI carries a password";
    SimulatorProcess sim(dir(), 2);
    std::vector<Result> results;
    results.push_back(imgdl("ledger init --ledger " + Quote(uri) +
                            " --mac-first 0012AB000000 --mac-last 0012AB000009 --serial-first 1"));
    results.push_back(imgdl("ledger init --ledger " + Quote(uri) +
                            " --mac-first 0012AB000000 --mac-last 0012AB000009 --serial-first 1"));
    results.push_back(imgdl("provision identity --jobs 2 --ledger " + Quote(uri) +
                            Targets({sim.target(0), sim.target(1)})));
    results.push_back(imgdl("ledger status --ledger " + Quote(uri)));
    results.push_back(imgdl("ledger list --csv --ledger " + Quote(uri)));
    // A wrong password, so that the server's refusal is shown too.
    std::string wrong = uri;
    wrong.replace(wrong.find(passwords[0]), passwords[0].size(), passwords[0] + "x");
    results.push_back(imgdl("ledger status --ledger " + Quote(wrong)));
    EXPECT_EQ(results[0].exit, 0) << results[0].err;
    EXPECT_EQ(results[1].exit, 2);
    EXPECT_EQ(results[2].exit, 0) << results[2].err;
    EXPECT_EQ(Units(results[2].out).size(), 2u);
    EXPECT_THAT(results[3].out, HasSubstr("free: 8\n"));
    EXPECT_EQ(results[5].exit, 2);
    for (const Result& r : results)
        for (const auto& secret : passwords) {
            EXPECT_THAT(r.out, Not(HasSubstr(secret)));
            EXPECT_THAT(r.err, Not(HasSubstr(secret)));
        }
    EXPECT_EQ(rows(uri).size(), 2u);
}

// The dynamic loader's own list of the objects a run maps: each database's client library
// (and all under it) only when a ledger of its kind is opened, not on every run.
TEST_F(ProvisionTest, OnlyALedgerLoadsItsClientLibrary) {
    init(ledger(), 10);
    const std::string image = write("app.bin", testimage::BuildApplicationImage({}));
    const std::string nobody =
        "postgresql://imgdl@127.0.0.1:" + std::to_string(FreePort()) + "/ledger";
    const struct {
        std::string args;
        int exit;
        bool sqlite;
        bool pq;
    } cases[] = {
        {"--version", 0, false, false},
        {"probe " + image, 0, false, false},
        {"send app " + image + " " + target(), 0, false, false},
        {"ledger status --ledger " + ledger(), 0, true, false},
        {"ledger status --ledger " + Quote(nobody), 2, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run("env LD_DEBUG=files " IMGDL_PROGRAM, c.args);
        EXPECT_EQ(r.exit, c.exit) << r.err;
        EXPECT_EQ(r.err.find("libsqlite3.so") != std::string::npos, c.sqlite);
        EXPECT_EQ(r.err.find("libpq.so") != std::string::npos, c.pq);
    }
}

// A unit still booting: the recorder starts listening a while after the first connect.
TEST_F(ProvisionTest, RetriesReachARecorderThatStartsLate) {
    init(ledger(), 10);
    const struct {
        const char* command;
    } kCases[] = {{"send identity --mac 0012AB0000AA --serial 5"},
                  {"provision identity --ledger LEDGER"}};
    for (const auto& c : kCases) {
        std::string command = c.command;
        if (const auto at = command.find("LEDGER"); at != std::string::npos)
            command.replace(at, 6, ledger());
        const int port = FreePort();
        const std::string target = "127.0.0.1:" + std::to_string(port);
        Result r = imgdl(command + " --connect-timeout 1 --target " + target);
        EXPECT_EQ(r.exit, 3) << "nothing listens yet";

        Background late(
            {"/bin/sh", "-c",
             std::string("sleep 1.2; exec ") + RECORDER_SIM_PROGRAM + " --listen " + target},
            file("late.out"), file("late.err"));
        const auto started = std::chrono::steady_clock::now();
        r = imgdl(command + " --retries 4 --target " + target);
        EXPECT_EQ(r.exit, 0) << command << "\n" << r.err;
        EXPECT_THAT(r.err, HasSubstr("trying again in 0.5 s"));
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1200));
    }
    const auto stored = rows(ledger());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].result, "released");
    EXPECT_EQ(stored[1].result, "done");
    EXPECT_EQ(stored[1].mac, "0012AB000000");
}

TEST_F(ProvisionTest, SessionLimitsAreCheckedAsUsage) {
    for (const char* bad : {"--retries -1", "--retries x", "--connect-timeout 0",
                            "--ack-timeout -2", "--write-timeout abc", "--jobs 0", "--retries"}) {
        const Result r =
            imgdl("provision identity --ledger " + ledger() + " --target 127.0.0.1:1 " + bad);
        EXPECT_EQ(r.exit, 1) << bad;
        const Result s =
            imgdl("send identity --mac 0012AB000000 --target 127.0.0.1:1 " + std::string(bad));
        if (std::string(bad).starts_with("--jobs")) continue;
        EXPECT_EQ(s.exit, 1) << bad;
    }
    EXPECT_EQ(imgdl("provision --help").exit, 0);
}

}  // namespace
}  // namespace imgdl::test

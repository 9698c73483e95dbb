// The ledger fails in the middle of a unit, as a line meets it: a lock held by another
// program, a database server frozen as a cut cable looks, an image replaced while units
// run. Afterwards what each recorder received, the ledger's rows and imgdl's output agree.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <filesystem>

#include "Background.h"
#include "CliTestSupport.h"
#include "JsonTestSupport.h"
#include "common/Sha256.h"
#include "image/IdentityPatch.h"
#include "ledger/LedgerTestSupport.h"
#include "support/PgServer.h"
#include "support/SqliteLock.h"

namespace imgdl::test {
namespace {

using nlohmann::json;
using testing::HasSubstr;
using namespace std::chrono_literals;

// The server processes that serve connections named `application`, stopped as a frozen
// server is, and let go again when this goes.
class FrozenBackends {
  public:
    FrozenBackends(const std::string& server, const std::string& application) {
        std::unique_ptr<PGconn, PgConnCloser> c(PQconnectdb(server.c_str()));
        const std::string sql =
            "SELECT pid FROM pg_stat_activity WHERE application_name = '" + application + "'";
        PGresult* r = PQexec(c.get(), sql.c_str());
        for (int i = 0; PQresultStatus(r) == PGRES_TUPLES_OK && i < PQntuples(r); ++i)
            pids_.push_back(std::stoi(PQgetvalue(r, i, 0)));
        PQclear(r);
        for (const int pid : pids_) ::kill(pid, SIGSTOP);
    }
    ~FrozenBackends() {
        for (const int pid : pids_) ::kill(pid, SIGCONT);
    }
    std::size_t count() const { return pids_.size(); }

  private:
    std::vector<int> pids_;
};

class LedgerFault : public CliTest {
  protected:
    static std::string Quote(const std::string& s) { return "'" + s + "'"; }
    void init(const std::string& location) {
        const Result r = imgdl("ledger init --ledger " + Quote(location) +
                               " --mac-first 0012ab000000 --mac-last 0012AB000009 "
                               "--serial-first 1000");
        ASSERT_EQ(r.exit, 0) << r.err;
    }
    // The RESULT column of every row, oldest first.
    std::vector<std::string> results(const std::string& location) {
        const Result r = imgdl("ledger list --csv --ledger " + Quote(location));
        std::vector<std::string> found;
        const auto lines = SplitLines(r.out);
        for (std::size_t i = 1; i < lines.size(); ++i)
            found.push_back(SplitWords(lines[i], ',')[3]);
        return found;
    }
    bool waitForRows(const std::string& location, const std::vector<std::string>& wanted) {
        const auto giveUp = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < giveUp) {
            if (results(location) == wanted) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    std::unique_ptr<Background> provision(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {IMGDL_PROGRAM, "provision"};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<Background>(argv, file("imgdl.out"), file("imgdl.err"));
    }
    std::unique_ptr<Background> recorder(int port, const std::vector<std::string>& more = {}) {
        const std::string saved = file("received-" + std::to_string(port));
        std::filesystem::create_directories(saved);
        std::vector<std::string> argv = {RECORDER_SIM_PROGRAM, "--listen",
                                         "127.0.0.1:" + std::to_string(port), "--save-dir", saved};
        argv.insert(argv.end(), more.begin(), more.end());
        return std::make_unique<Background>(argv, saved + ".out", saved + ".err");
    }
    // Every payload any recorder of the test kept.
    std::vector<std::filesystem::path> received() {
        std::vector<std::filesystem::path> files;
        for (const auto& d : std::filesystem::directory_iterator(file("")))
            if (d.is_directory() && d.path().filename().string().starts_with("received-"))
                for (const auto& e : std::filesystem::directory_iterator(d.path()))
                    files.push_back(e.path());
        return files;
    }
    // The unit's row could not be marked before its payload: nothing was sent, and the row
    // is left allocated (never handed out again) since releasing it failed as well.
    void expectNothingSentAndRowHeld(int exit, const std::string& location) {
        EXPECT_EQ(exit, 3) << ReadText(file("imgdl.err"));
        const json unit = JsonDocument(ReadText(file("imgdl.out")));
        EXPECT_EQ(unit["result"], "allocated");
        EXPECT_EQ(unit["step"], "before payload");
        EXPECT_EQ(unit["payload_sent"], false);
        EXPECT_TRUE(unit["ledger_error"].is_string());
        // The recorder kept what it got: the handshake's words, no payload byte.
        for (const auto& f : received()) EXPECT_EQ(std::filesystem::file_size(f), 0u) << f;
        EXPECT_EQ(results(location), std::vector<std::string>{"allocated"})
            << ReadText(file("imgdl.out")) << ReadText(file("imgdl.err"));
    }
};

TEST_F(LedgerFault, ALockHeldAtTheMarkSendsNothing) {
    const std::string ledger = file("ledger.sqlite");
    init(ledger);
    const int port = FreePort();
    // The unit is not there yet: its numbers are allocated, then the connect is retried.
    auto run = provision({"identity", "--json", "--retries", "4", "--ledger-timeout", "1.5",
                          "--ledger", ledger, "--target", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(waitForRows(ledger, {"allocated"}));
    auto lock = std::make_unique<SqliteLock>(ledger);
    ASSERT_TRUE(lock->locked());
    auto sim = recorder(port);
    const int exit = run->wait(30s);
    lock.reset();
    expectNothingSentAndRowHeld(exit, ledger);
    EXPECT_THAT(ReadText(file("imgdl.err")), HasSubstr("imgdl: ledger: waiting for a lock on " +
                                                       ledger + " held by another program\n"));
}

TEST_F(LedgerFault, ALockHeldAtTheLastWriteIsNeverReportedDone) {
    const std::string ledger = file("ledger.sqlite");
    init(ledger);
    const int port = FreePort();
    auto sim = recorder(port, {"--write-delay", "1500"});
    std::this_thread::sleep_for(200ms);
    const std::string image = write("int.bin", testimage::BuildIntegratedImage({}));
    auto run = provision({"integrated", image, "--ledger-timeout", "1", "--ledger", ledger,
                          "--target", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(waitForRows(ledger, {"uncertain"}));  // the image is on its way
    auto lock = std::make_unique<SqliteLock>(ledger);
    ASSERT_TRUE(lock->locked());
    const int exit = run->wait(30s);
    lock.reset();
    EXPECT_EQ(exit, 3);
    const std::string out = ReadText(file("imgdl.out"));
    EXPECT_THAT(out, testing::StartsWith("127.0.0.1:" + std::to_string(port) +
                                         " 0012AB000000 1000 uncertain: "));
    EXPECT_THAT(out, testing::Not(HasSubstr(" done")));
    EXPECT_EQ(results(ledger), std::vector<std::string>{"uncertain"});
    // The recorder did receive that identity: the row keeps its numbers.
    std::vector<std::uint8_t> sent;
    for (const auto& f : received())
        if (f.string().find("INTEGRATED") != std::string::npos) sent = testimage::ReadFile(f);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(FormatMacAddress(PatchedMacAddress(sent)), "0012AB000000");
    EXPECT_EQ(PatchedSerialNumber(sent), 1000u);
}

TEST_F(LedgerFault, AFrozenServerEndsTheUnitWithinItsDeadline) {
    ScratchLedger scratch(Backend::Postgres);
    if (scratch.location().empty()) GTEST_SKIP() << scratch.skipReason();
    const std::string application = "imgdl_frozen_" + std::to_string(::getpid());
    const std::string ledger = scratch.location() + "&application_name=" + application;
    init(ledger);
    const int port = FreePort();
    auto run = provision({"identity", "--json", "--retries", "4", "--ledger-timeout", "2",
                          "--ledger", ledger, "--target", "127.0.0.1:" + std::to_string(port)});
    // Watched through a connection of another name, which is not frozen.
    ASSERT_TRUE(waitForRows(scratch.location(), {"allocated"}));
    const auto frozenAt = std::chrono::steady_clock::now();
    auto frozen = std::make_unique<FrozenBackends>(TestServerUri(), application);
    ASSERT_EQ(frozen->count(), 1u);
    auto sim = recorder(port);
    const int exit = run->wait(30s);
    // The mark waits its deadline; the connection is then gone, so the release fails at once.
    EXPECT_LT(std::chrono::steady_clock::now() - frozenAt, 10s);
    frozen.reset();
    EXPECT_THAT(ReadText(file("imgdl.err")), HasSubstr("did not answer within 2 s"));
    expectNothingSentAndRowHeld(exit, scratch.location());
}

TEST_F(LedgerFault, AnImageReplacedMidRunIsNeverSent) {
    const std::string ledger = file("ledger.sqlite");
    init(ledger);
    const auto original = testimage::BuildIntegratedImage({});
    const std::string image = write("int.bin", original);
    testimage::IntegratedOptions other;
    other.application.tag = "$version: 2.0.0 $";
    const auto replacement = testimage::BuildIntegratedImage(other);
    const std::vector<int> ports = FreePorts(2);
    std::vector<std::unique_ptr<Background>> sims;
    for (const int port : ports) sims.push_back(recorder(port, {"--write-delay", "800"}));
    std::this_thread::sleep_for(200ms);
    auto run = provision({"integrated", image, "--ledger", ledger, "--target",
                          "127.0.0.1:" + std::to_string(ports[0]), "--target",
                          "127.0.0.1:" + std::to_string(ports[1])});
    ASSERT_TRUE(waitForRows(ledger, {"uncertain"}));
    write("new.bin", replacement);
    std::filesystem::rename(file("new.bin"), image);
    EXPECT_EQ(run->wait(30s), 0) << ReadText(file("imgdl.err"));
    const auto lines = SplitLines(imgdl("ledger list --csv --ledger " + Quote(ledger)).out);
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(SplitWords(lines[i], ',')[6], Sha256Hex(original)) << lines[i];
    int images = 0;
    for (const auto& f : received()) {
        if (f.string().find("INTEGRATED") == std::string::npos) continue;
        auto sent = testimage::ReadFile(f);
        ASSERT_EQ(sent.size(), original.size());
        // Apart from the identity, exactly the bytes that were hashed.
        std::copy_n(original.begin() + 0xFF80, 12, sent.begin() + 0xFF80);
        EXPECT_TRUE(sent == original) << f;
        ++images;
    }
    EXPECT_EQ(images, 2);
}

TEST_F(LedgerFault, AServerFrozenAtTheLastWriteIsNeverReportedDone) {
    ScratchLedger scratch(Backend::Postgres);
    if (scratch.location().empty()) GTEST_SKIP() << scratch.skipReason();
    const std::string application = "imgdl_last_" + std::to_string(::getpid());
    const std::string ledger = scratch.location() + "&application_name=" + application;
    init(ledger);
    const int port = FreePort();
    auto sim = recorder(port, {"--write-delay", "1500"});
    std::this_thread::sleep_for(200ms);
    auto run = provision({"identity", "--json", "--ledger-timeout", "2", "--ledger", ledger,
                          "--target", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(waitForRows(scratch.location(), {"uncertain"}));
    auto frozen = std::make_unique<FrozenBackends>(TestServerUri(), application);
    ASSERT_EQ(frozen->count(), 1u);
    const int exit = run->wait(30s);
    frozen.reset();
    EXPECT_EQ(exit, 3);
    const json unit = JsonDocument(ReadText(file("imgdl.out")));
    EXPECT_EQ(unit["result"], "uncertain");
    EXPECT_TRUE(unit["ledger_error"].is_string());
    EXPECT_EQ(results(scratch.location()), std::vector<std::string>{"uncertain"});
    EXPECT_THAT(ReadText(file("received-" + std::to_string(port) + ".out")),
                HasSubstr("mac=0012AB000000 serial=1000 answers=ACK,ACK ending=done"));
}

TEST_F(LedgerFault, AReadOnlyLedgerIsRefusedBeforeAnyUnit) {
    ScratchLedger scratch(Backend::Postgres);
    if (scratch.location().empty()) GTEST_SKIP() << scratch.skipReason();
    init(scratch.location());
    const std::string readOnly = scratch.location() + "%20-cdefault_transaction_read_only%3Don";
    const int port = FreePort();
    auto sim = recorder(port);
    const Result r = imgdl("provision identity --ledger " + Quote(readOnly) +
                           " --target 127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(r.exit, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("the ledger cannot be written"));
    EXPECT_TRUE(results(scratch.location()).empty());
    EXPECT_TRUE(received().empty());
}

// A disk that fills up while the image goes out: the last write fails, and the unit is
// never reported done. The ledger lives on a small file system of the test's own.
TEST_F(LedgerFault, AFullDiskAtTheLastWriteIsNeverReportedDone) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const std::string disk = file("disk");
    std::filesystem::create_directories(disk);
    if (std::system(("mount -t tmpfs -o size=2m tmpfs '" + disk + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    struct Unmount {
        std::string path;
        ~Unmount() { std::system(("umount -l '" + path + "'").c_str()); }
    } unmount{disk};
    const std::string ledger = disk + "/ledger.sqlite";
    init(ledger);
    const int port = FreePort();
    auto sim = recorder(port, {"--write-delay", "1500"});
    std::this_thread::sleep_for(200ms);
    auto run = provision({"identity", "--json", "--ledger", ledger, "--target",
                          "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(waitForRows(ledger, {"uncertain"}));
    // Fill the rest of the disk.
    std::system(("dd if=/dev/zero of='" + disk + "/filler' bs=64k 2>/dev/null").c_str());
    const int exit = run->wait(30s);
    std::filesystem::remove(disk + "/filler");
    EXPECT_EQ(exit, 3);
    const json unit = JsonDocument(ReadText(file("imgdl.out")));
    EXPECT_EQ(unit["result"], "uncertain");
    EXPECT_TRUE(unit["ledger_error"].is_string()) << unit.dump();
    EXPECT_EQ(results(ledger), std::vector<std::string>{"uncertain"});
}

// Folders of patched copies that killed runs of earlier programs left behind go at the
// next start; one whose file a process still has open stays.
TEST_F(LedgerFault, LeftoverCopiesOfKilledRunsAreRemoved) {
    const std::string ledger = file("ledger.sqlite");
    init(ledger);
    const std::string temporary = file("tmp");
    std::filesystem::create_directories(temporary);
    const auto leftover = [&](const std::string& name) {
        const std::string folder = temporary + "/" + name;
        std::filesystem::create_directory(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        write("tmp/" + name + "/unit-7", std::vector<std::uint8_t>(100, 1));
        return folder;
    };
    const std::string gone = leftover("imgdl-Ab12Cd"), open = leftover("imgdl-Xy34Zw");
    const std::string other = temporary + "/imgdl-notours";
    std::filesystem::create_directory(other);
    // A process still using its copy, as a run of an earlier program would.
    Background holder({"/bin/sh", "-c", "exec sleep 30 < '" + open + "/unit-7'"}, "/dev/null",
                      "/dev/null");
    std::this_thread::sleep_for(200ms);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    const Result r =
        imgdl("provision identity --ledger " + Quote(ledger) + " --target 127.0.0.1:1");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(r.exit, 3) << r.err;  // nobody listens there: the unit fails, released
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_TRUE(std::filesystem::exists(open + "/unit-7"));
    EXPECT_TRUE(std::filesystem::exists(other));
}

// A run killed in the middle of a unit leaves its row for a person: listed by settle,
// decided after a look at the unit, and never handed out again unless released.
TEST_F(LedgerFault, AKilledRunIsSettledByHand) {
    const std::string ledger = file("ledger.sqlite");
    init(ledger);
    const int port = FreePort();
    auto sim = recorder(port, {"--write-delay", "5000"});
    std::this_thread::sleep_for(200ms);
    const std::string image = write("int.bin", testimage::BuildIntegratedImage({}));
    auto run = provision(
        {"integrated", image, "--ledger", ledger, "--target", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(waitForRows(ledger, {"uncertain"}));
    ::kill(run->pid(), SIGKILL);
    run->wait();

    const Result waiting = imgdl("ledger settle --ledger " + Quote(ledger));
    EXPECT_EQ(waiting.exit, 0) << waiting.err;
    ASSERT_EQ(SplitLines(waiting.out).size(), 1u) << waiting.out;
    EXPECT_THAT(waiting.out, testing::StartsWith("0012AB000000 1000 uncertain "));

    const struct {
        std::string args;
        int exit;
    } decisions[] = {
        {"0012AB000000 --as released --note 'it never booted'", 2},  // it may hold it
        {"0012AB000000 --as void", 1},                               // no note
        {"0012AB0000FF --as void --note x", 2},                      // nothing waits
        {"0012AB000000 --as void --note 'label burnt'", 0},
        {"0012AB000000 --as done --note again", 2},  // settled already
    };
    for (const auto& d : decisions) {
        const Result r = imgdl("ledger settle --ledger " + Quote(ledger) + " " + d.args);
        EXPECT_EQ(r.exit, d.exit) << d.args << ": " << r.err;
    }
    EXPECT_EQ(imgdl("ledger settle --ledger " + Quote(ledger)).out, "");
    EXPECT_EQ(results(ledger), std::vector<std::string>{"void"});
    // Its numbers are never handed out again.
    auto unit = recorder(FreePort());
    const Result next =
        imgdl("provision identity --ledger " + Quote(ledger) + " --target 127.0.0.1:1");
    EXPECT_THAT(next.out, HasSubstr(" 0012AB000001 1001 "));
}

}  // namespace
}  // namespace imgdl::test

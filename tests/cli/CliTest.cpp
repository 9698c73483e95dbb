#include <gmock/gmock.h>

#include <map>

#include "CliTestSupport.h"

#include "session/DownloadProtocol.h"

namespace imgdl::test {
namespace {

using testing::HasSubstr;

template <typename Change>
sim::RecorderBehaviour Behaviour(Change change) {
    sim::RecorderBehaviour behaviour;
    change(behaviour);
    return behaviour;
}

using SendTest = CliTest;

TEST_F(SendTest, ProbePrintsTheVersionOrTheFlowsMessage) {
    const struct {
        const char* tag;  // nullptr: no tag
        bool missing;
        int exit;
        const char* out;
        const char* err;
    } cases[] = {
        {"$version: 2.10.0 $", false, 0, "2.10.0\n", ""},
        {nullptr, false, 2, "", "There is not image file.\n"},
        {"$version: 1.2.3 $", true, 2, "", "Can't open the image file.\n"},
        // The probe's 0 for version 0.0.0 is the flows' "invalid data", not a missing file.
        {"$version: 0.0.0 $", false, 2, "", "There is a invalid data. Please, input again.\n"},
    };
    for (const auto& c : cases) {
        const auto path = app(c.tag);
        const Result r = imgdl("probe " + (c.missing ? path + ".missing" : path));
        EXPECT_EQ(r.exit, c.exit) << c.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    testimage::IntegratedOptions integrated;
    write("integrated.bin", testimage::BuildIntegratedImage(integrated));
    EXPECT_EQ(imgdl("probe --integrated integrated.bin").out, "1.2.3\n");
}

TEST_F(SendTest, AnApplicationImageGoesOutAfterTheVersionCheck) {
    const auto path = app();
    const Result r = imgdl("send app " + path + " " + target());
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "");
    // Not a terminal: one line per stage, no bar.
    EXPECT_THAT(r.err, HasSubstr("Downloading...\nNow, Writing a image.\nDone.\n"));
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    ASSERT_TRUE(recorder.waitForSessions(2, std::chrono::seconds(5)));
    EXPECT_EQ(recorder.sessions()[1].payload, testimage::ReadFile(path));
}

TEST_F(SendTest, FailingRecordersExitWithTheSessionsMessage) {
    const struct {
        const char* name;
        sim::RecorderBehaviour behaviour;
        const char* message;
    } cases[] = {
        {"incompatible", Behaviour([](auto& b) { b.incompatible = true; }),
         "The firmware is Incompatible with the DVR. (first acknowledgement: the recorder "
         "refused version 0x01020300)\n"},
        {"closes early", Behaviour([](auto& b) { b.closeBefore = sim::Step::FirstAck; }),
         "Can't write a firmware. (first acknowledgement: connection closed by the recorder)\n"},
        {"not a recorder", Behaviour([](auto& b) { b.handshakeReply = 0xAB550001; }),
         "It is not a DVR machine. (handshake: reply 0xAB550001 is not 0xAB550009)\n"},
    };
    const auto path = app();
    for (const auto& c : cases) {
        recorder.setBehaviour(c.behaviour);
        const Result r = imgdl("send app " + path + " " + target());
        EXPECT_EQ(r.exit, 3) << c.name;
        EXPECT_THAT(r.err, testing::EndsWith(c.message)) << c.name;
    }
    const Result closed = imgdl("send app " + path + " --target 127.0.0.1:1");
    EXPECT_EQ(closed.exit, 3);
    EXPECT_THAT(closed.err, testing::EndsWith("Can't connect to the machine. (connect "
                                              "127.0.0.1:1: Connection refused)\n"));
}

TEST_F(SendTest, RefusedInputsMakeNoConnection) {
    const auto ptz = write("ptz.bin", std::vector<std::uint8_t>(64661, 0));
    const struct {
        std::string args;
        const char* message;
    } cases[] = {
        {"send ptz " + ptz, "This PTZ image file is invalid. \n"},
        {"send identity --mac 0012AB3456C", "Invalid MAC Address was inputed.\n"},
        {"send identity --mac 0012AB3456C --serial 5", "Invalid MAC Address was inputed.\n"},
        {"send app missing.bin", "Can't open the image file.\n"},
        {"send integrated missing.bin", "There is not image file.\n"},
    };
    for (const auto& c : cases) {
        const Result r = imgdl(c.args + " " + target());
        EXPECT_EQ(r.exit, 2) << c.args;
        EXPECT_EQ(r.err, c.message) << c.args;
    }
    EXPECT_TRUE(noSession());
}

// A usage error is one line on standard error that names the command and what is wrong,
// then the usage of that command, exactly as its --help shows it; nothing on standard
// output, exit 1, and no connection.
TEST_F(SendTest, UsageErrorsAndHelp) {
    const std::string ledger = "--ledger " + file("l.sqlite");
    const std::string twoUnits = "provision identity " + ledger + " --target 127.0.0.1:1 ";
    const struct {
        std::string args;
        std::string usageOf;  // the command whose --help follows the error
        std::string says;     // part of the error line
    } cases[] = {
        {"", "", "missing command"},
        {"frobnicate", "", "unknown command 'frobnicate'"},
        {"sned app a.bin --target 127.0.0.1", "", "unknown command 'sned'"},
        {"--jason", "", "unknown command '--jason'"},
        {"send", "send", "send: missing kind"},
        {"send apps a.bin --target 127.0.0.1", "send", "send: unknown kind 'apps'"},
        {"send app app.bin", "send", "send app: --target"},
        {"send app --target 127.0.0.1", "send", "send app: missing FILE"},
        {"send identity --target 127.0.0.1", "send", "give --mac, --serial or both"},
        {"send app a.bin --target 1.2.3.4:x", "send",
         "--target must be HOST or HOST:PORT, got '1.2.3.4:x'"},
        {"send identity --serial -1 --target 127.0.0.1", "send",
         "--serial must be an unsigned decimal number"},
        {"send app a.bin --targte 127.0.0.1", "send", "unexpected '--targte'"},
        {"send app a.bin b.bin --target 127.0.0.1", "send", "unexpected 'b.bin'"},
        {"send app a.bin --target", "send", "--target"},
        {"send app a.bin --target 127.0.0.1 --json=false", "send", "json"},
        {"send ptz a.bin --target 127.0.0.1 --mac 0012AB000000", "send", "unexpected '--mac'"},
        {"probe", "probe", "probe: missing FILE"},
        {"probe a.bin b.bin", "probe", "probe: unexpected 'b.bin'"},
        {"ptz", "ptz", "ptz: missing command"},
        {"ptz lsit db.pdb", "ptz", "ptz: unknown command 'lsit'"},
        {"ptz list", "ptz", "ptz list: missing FILE"},
        {"ptz verify a.bin b.bin", "ptz", "unexpected 'b.bin'"},
        {"ptz build db.pdb 7", "ptz", "give DB.pdb, at least one NUMBER and -o OUT.bin"},
        {"ptz build db.pdb seven -o out.bin", "ptz", "'seven' is not a protocol number"},
        {"ledger stats " + ledger, "ledger", "ledger: unknown command 'stats'"},
        {"ledger init " + ledger + " --mac-first 0012AB000000", "ledger", "--mac-last"},
        {"ledger list " + ledger + " --csv --json", "ledger", "ledger list: --csv"},
        {"ledger status " + ledger + " --csv", "ledger", "unexpected '--csv'"},
        {"provision identty " + ledger + " --target 127.0.0.1:1", "provision",
         "provision: unknown kind 'identty'"},
        {"provision identity " + ledger, "provision", "provision identity: --target"},
        {"provision integrated " + ledger + " --target 127.0.0.1:1", "provision", "missing FILE"},
        {twoUnits + "127.0.0.1:2", "provision", "unexpected '127.0.0.1:2'"},
        {twoUnits + "--jobs 0", "provision", "--jobs must be a number from 1 to 64"},
        {twoUnits + "--jobs abc", "provision", "--jobs must be a number from 1 to 64"},
        {twoUnits + "--jobs", "provision", "--jobs"},
    };
    std::map<std::string, std::string> usage;
    for (const auto& c : cases) {
        if (!usage.contains(c.usageOf)) usage[c.usageOf] = imgdl(c.usageOf + " --help").out;
        const Result r = imgdl(c.args);
        EXPECT_EQ(r.exit, 1) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        const auto lineEnd = r.err.find('\n');
        const std::string line = r.err.substr(0, lineEnd);
        EXPECT_THAT(line, testing::StartsWith("imgdl: ")) << c.args;
        EXPECT_THAT(line, HasSubstr(c.says)) << c.args;
        EXPECT_EQ(r.err.substr(lineEnd + 1), usage[c.usageOf]) << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(file("l.sqlite")));
    EXPECT_TRUE(noSession());
}

// Every command and each of its commands answers -h and --help on standard output, also
// when the rest of the line would be a usage error.
TEST_F(SendTest, HelpOnEveryCommand) {
    const struct {
        std::string args;
        std::string shows;
    } cases[] = {
        {"--help", "usage: imgdl COMMAND"},
        {"-h", "usage: imgdl COMMAND"},
        {"help", "usage: imgdl COMMAND"},
        {"probe --help", "usage: imgdl probe"},
        {"send --help", "usage: imgdl send app"},
        {"send app --help", "usage: imgdl send app"},
        {"send ptz -h", "imgdl send ptz FILE"},
        {"send integrated --help", "imgdl send integrated FILE"},
        {"send identity --help", "imgdl send identity"},
        {"send app --help --target", "usage: imgdl send app"},
        {"send app a.bin --target 1.2.3.4:x --help", "usage: imgdl send app"},
        {"send app --bogus -h", "usage: imgdl send app"},
        {"ptz --help", "usage: imgdl ptz list"},
        {"ptz list --help", "imgdl ptz list"},
        {"ptz verify -h", "imgdl ptz verify"},
        {"ptz build --help", "imgdl ptz build"},
        {"ledger --help", "usage: imgdl ledger init"},
        {"ledger init --help", "imgdl ledger init"},
        {"ledger status --help", "imgdl ledger status"},
        {"ledger list -h", "imgdl ledger list"},
        {"provision --help", "usage: imgdl provision integrated"},
        {"provision integrated --help", "imgdl provision integrated"},
        {"provision identity --jobs 0 --help", "imgdl provision identity"},
    };
    for (const auto& c : cases) {
        const Result r = imgdl(c.args);
        EXPECT_EQ(r.exit, 0) << c.args;
        EXPECT_THAT(r.out, testing::StartsWith("usage: imgdl")) << c.args;
        EXPECT_THAT(r.out, HasSubstr(c.shows)) << c.args;
        EXPECT_EQ(r.err, "") << c.args;
    }
    EXPECT_TRUE(noSession());
}

TEST_F(SendTest, IdentityWithAutoIncreaseLogsAndPrintsTheNextMac) {
    const Result r = imgdl(
        "send identity --mac 0012abffffff --serial 1000 --auto-increase --log log.csv " + target());
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "next MAC: 0012AC000000\n");
    const std::string log = read(file("log.csv"));
    EXPECT_THAT(log, testing::StartsWith(
                         "time_utc,target,command,length,image,mac,serial,version,result,message,"
                         "cause\n"));
    EXPECT_THAT(log, HasSubstr(",127.0.0.1:" + std::to_string(recorder.port()) +
                               ",CMD_MAC_AND_SERIAL,12,,0012ABFFFFFF,1000,,OK,,\n"));
    ASSERT_TRUE(recorder.waitForSessions(1, std::chrono::seconds(5)));
    EXPECT_EQ(recorder.sessions()[0].command, CMD_MAC_AND_SERIAL);
}

TEST_F(SendTest, IntegratedImageLogsEachSessionEvenAFailedOne) {
    testimage::IntegratedOptions options;
    write("integrated.bin", testimage::BuildIntegratedImage(options));
    sim::RecorderBehaviour failImage;
    failImage.closeBefore = sim::Step::SecondAck;
    recorder.setBehaviour(failImage);
    const Result r = imgdl(
        "send integrated integrated.bin --mac 0012AB3456CD --serial 7 --auto-increase "
        "--log log.csv --trace " +
        target());
    EXPECT_EQ(r.exit, 3);
    EXPECT_EQ(r.out, "next MAC: 0012AB3456CE\n");  // advanced all the same, as the dialog does
    EXPECT_THAT(r.err, HasSubstr("trace: sent     command  55AB0001\n"));
    EXPECT_THAT(r.err, HasSubstr("trace: received reply    AB550001\n"));
    const std::string log = read(file("log.csv"));
    EXPECT_THAT(log, HasSubstr(",CMD_FIRMWARE_VERSION,4,,,,1.2.3,OK,,\n"));
    EXPECT_THAT(log, HasSubstr(",CMD_INTEGRATED_IMAGE,"));
    EXPECT_THAT(log, HasSubstr(",integrated.bin,0012AB3456CD,7,1.2.3,ERR_WRITE,Can't write a "
                               "firmware.,written acknowledgement: connection closed by the "
                               "recorder\n"));
}

// The serial number and the port are read as the main dialog reads its number fields.
TEST_F(SendTest, NumbersAreReadAsTheDialogReadsThem) {
    const Result r = imgdl("send identity --serial ' 5	' --target '127.0.0.1: " +
                           std::to_string(recorder.port()) + "'");
    EXPECT_EQ(r.exit, 0) << r.err;
    ASSERT_TRUE(recorder.waitForSessions(1, std::chrono::seconds(5)));
    EXPECT_EQ(recorder.sessions()[0].command, CMD_SERIAL_NUMBER);
    EXPECT_EQ(recorder.sessions()[0].payload, (std::vector<std::uint8_t>{5, 0, 0, 0}));
    for (const char* serial : {"'+5'", "5x", "4294967296", "''"}) {
        const Result refused =
            imgdl(std::string("send identity --serial ") + serial + " " + target());
        EXPECT_EQ(refused.exit, 1) << serial;
    }
}

// A value after an equals sign, and of an option given twice the last one, as scripts
// that add to a fixed command line expect.
TEST_F(SendTest, OptionValuesAfterAnEqualsSignAndTheLastOfTwo) {
    const Result r = imgdl("send identity --serial=1 --target 127.0.0.1:1 --serial 7 --target=" +
                           target().substr(9));
    EXPECT_EQ(r.exit, 0) << r.err;
    ASSERT_TRUE(recorder.waitForSessions(1, std::chrono::seconds(5)));
    EXPECT_EQ(recorder.sessions()[0].payload, (std::vector<std::uint8_t>{7, 0, 0, 0}));
}

TEST_F(SendTest, NoLogUnlessAskedFor) {
    imgdl("send identity --serial 3 " + target());
    EXPECT_FALSE(std::filesystem::exists(file("log.csv")));
}

}  // namespace
}  // namespace imgdl::test

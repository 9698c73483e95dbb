// --json of probe, ptz list|verify and send, read back as a script would.
#include <gmock/gmock.h>

#include "CliTestSupport.h"
#include "JsonTestSupport.h"
#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"

namespace imgdl::test {
namespace {

using nlohmann::json;

class JsonOutput : public CliTest {
  protected:
    std::string port() const { return std::to_string(recorder.port()); }
};

TEST_F(JsonOutput, ProbeGivesTheVersionAndItsParts) {
    const auto path = app("$version: 2.10.255 $");
    const Result r = imgdl("probe --json " + path);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(JsonDocument(r.out), json({{"file", path},
                                         {"version", "2.10.255"},
                                         {"major", 2},
                                         {"minor", 10},
                                         {"patch", 255}}));
}

TEST_F(JsonOutput, RefusalsLeaveStandardOutputEmpty) {
    app(nullptr);
    imgdl("ptz build missing.pdb 3 -o out.bin");
    write("broken.bin", std::vector<std::uint8_t>(64661, 0));
    const struct {
        const char* args;
        int exit;
        const char* err;
    } cases[] = {
        {"probe --json app.bin", 2, "There is not image file.\n"},
        {"probe --json missing.bin", 2, "Can't open the image file.\n"},
        {"ptz verify --json broken.bin", 2, "This PTZ image file is invalid. \n"},
        {"ptz list --json broken.bin", 2,
         "imgdl: neither a PTZ database nor a valid PTZ image: broken.bin\n"},
        {"probe --json", 1, "imgdl: probe: missing FILE\n"},
    };
    for (const auto& c : cases) {
        const Result r = imgdl(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_THAT(r.err, testing::StartsWith(c.err)) << c.args;
    }
}

TEST_F(JsonOutput, PtzListKeepsTheOrderAndNamesOfDatabaseAndImage) {
    PtzDatabase db;
    for (std::int32_t n : {7, 1234, 3}) {
        db.Grow(1);
        PtzProtocol p = PtzProtocol::MakeNew(n);
        p.SetName("Cam\"]" + std::to_string(n));  // a quote must come back as written
        db.Put(db.Count() - 1, p);
    }
    ASSERT_EQ(db.Save(file("db.pdb")), 1);
    ASSERT_EQ(imgdl("ptz build db.pdb 1234 7 -o out.bin").exit, 0);
    const auto entry = [](int n) {
        return json({{"number", n}, {"name", "Cam\"]" + std::to_string(n)}});
    };

    Result r = imgdl("ptz list --json db.pdb");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(JsonDocument(r.out), json({{"file", "db.pdb"},
                                         {"kind", "database"},
                                         {"protocols", {entry(7), entry(1234), entry(3)}}}));
    r = imgdl("ptz list out.bin --json");
    EXPECT_EQ(
        JsonDocument(r.out),
        json({{"file", "out.bin"}, {"kind", "image"}, {"protocols", {entry(1234), entry(7)}}}));
    r = imgdl("ptz verify --json out.bin");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(JsonDocument(r.out), json({{"file", "out.bin"}, {"valid", true}}));
}

TEST_F(JsonOutput, SendTellsEachOutcomeWithTheExitCodeUnchanged) {
    const auto path = app("$version: 1.2.3 $");
    sim::RecorderBehaviour closes;
    closes.closeBefore = sim::Step::FirstAck;
    const auto any = json(nullptr);
    const struct {
        std::string args;
        sim::RecorderBehaviour behaviour;
        int exit;
        json expected;  // what the object holds besides kind and target
    } cases[] = {
        {"send app " + path, {}, 0, {{"result", "done"}, {"message", any}, {"nextMac", any}}},
        {"send identity --mac 0012abffffff --auto-increase",
         {},
         0,
         {{"result", "done"}, {"message", any}, {"nextMac", "0012AC000000"}}},
        {"send app " + path,
         closes,
         3,
         {{"result", "session failed"},
          {"error", "ERR_WRITE"},
          {"message", "Can't write a firmware."},
          {"step", "first acknowledgement"},
          {"cause", "first acknowledgement: connection closed by the recorder"},
          {"payload_sent", true},
          {"payload_bytes", 4},
          {"nextMac", any}}},
        {"send app missing.bin",
         {},
         2,
         {{"result", "refused"}, {"message", "Can't open the image file."}, {"nextMac", any}}},
    };
    for (const auto& c : cases) {
        recorder.setBehaviour(c.behaviour);
        const Result r = imgdl(c.args + " --json " + target());
        EXPECT_EQ(r.exit, c.exit) << c.args << r.err;
        json expected = c.expected;
        expected["kind"] = c.args.substr(5, c.args.find(' ', 5) - 5);
        expected["target"] = "127.0.0.1:" + port();
        EXPECT_EQ(JsonDocument(r.out), expected) << c.args;
    }
}

}  // namespace
}  // namespace imgdl::test

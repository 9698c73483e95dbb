// provision --json and ledger status|list --json: what a line's script reads back must
// match what the ledger recorded, unit by unit.
#include <gmock/gmock.h>

#include <filesystem>

#include "Background.h"
#include "CliTestSupport.h"
#include "JsonTestSupport.h"

namespace imgdl::test {
namespace {

using nlohmann::json;

class ProvisionJson : public CliTest {
  protected:
    std::string ledger() { return file("ledger.sqlite"); }
    std::string simDir(const std::string& name) {
        std::filesystem::create_directories(file(name));
        return file(name);
    }
    json status() {
        const Result r = imgdl("ledger status --json --ledger " + ledger());
        EXPECT_EQ(r.exit, 0) << r.err;
        return JsonDocument(r.out);
    }
};

TEST_F(ProvisionJson, UnitLinesStatusAndListAgree) {
    ASSERT_EQ(imgdl("ledger init --ledger " + ledger() +
                    " --mac-first 0012ab000000 --mac-last 0012AB000009 --serial-first 1000")
                  .exit,
              0);
    EXPECT_EQ(status(), json({{"ledger", ledger()},
                              {"range",
                               {{"macFirst", "0012AB000000"},
                                {"macLast", "0012AB000009"},
                                {"serialFirst", 1000},
                                {"serialLast", 1009}}},
                              {"size", 10},
                              {"used", 0},
                              {"done", 0},
                              {"failed", 0},
                              {"uncertain", 0},
                              {"allocated", 0},
                              {"released", 0},
                              {"unnumbered", 0},
                              {"free", 10},
                              {"next", {{"mac", "0012AB000000"}, {"serial", 1000}}},
                              {"low", false}}));

    // One target refuses the connection (numbers given back), one takes its identity,
    // one drops the line before acknowledging it (numbers kept as uncertain).
    SimulatorProcess ok(simDir("ok"), 1);
    SimulatorProcess drops(simDir("drops"), 1, "close-before-ack");
    const std::string closed = "127.0.0.1:1";
    const Result r =
        imgdl("provision identity --json --jobs 1 --ledger " + ledger() + " --target " + closed +
              " --target " + ok.target() + " --target " + drops.target());
    EXPECT_EQ(r.exit, 3) << r.err;
    const auto lines = JsonLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], json({{"target", closed},
                              {"mac", "0012AB000000"},
                              {"serial", 1000},
                              {"result", "released"},
                              {"message", "Can't connect to the machine."},
                              {"step", "connect"},
                              {"cause", "connect 127.0.0.1:1: Connection refused"},
                              {"payload_sent", false},
                              {"ledger_error", nullptr}}));
    EXPECT_EQ(lines[1], json({{"target", ok.target()},
                              {"mac", "0012AB000000"},
                              {"serial", 1000},
                              {"result", "done"},
                              {"message", nullptr},
                              {"step", nullptr},
                              {"cause", nullptr},
                              {"payload_sent", false},
                              {"ledger_error", nullptr}}));
    EXPECT_EQ(lines[2]["mac"], "0012AB000001");
    EXPECT_EQ(lines[2]["serial"], 1001);
    EXPECT_EQ(lines[2]["result"], "uncertain");
    EXPECT_TRUE(lines[2]["message"].is_string());
    EXPECT_EQ(lines[2]["step"], "first acknowledgement");
    EXPECT_EQ(lines[2]["payload_sent"], true);

    const Result list = imgdl("ledger list --json --ledger " + ledger());
    EXPECT_EQ(list.exit, 0) << list.err;
    const auto rows = JsonLines(list.out);
    ASSERT_EQ(rows.size(), 3u) << list.out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].dump());
        for (const char* key : {"id", "mac", "serial", "result", "target", "kind", "imageSha256",
                                "imageVersion", "started", "ended", "station", "message"})
            EXPECT_TRUE(rows[i].contains(key)) << key;
        EXPECT_EQ(rows[i]["target"], lines[i]["target"]);
        EXPECT_EQ(rows[i]["mac"], lines[i]["mac"]);
        EXPECT_EQ(rows[i]["serial"], lines[i]["serial"]);
        EXPECT_EQ(rows[i]["result"], lines[i]["result"]);
        EXPECT_EQ(rows[i]["message"], lines[i]["message"]);
        EXPECT_EQ(rows[i]["kind"], "identity");
        EXPECT_TRUE(rows[i]["started"].is_string());
    }
    EXPECT_LT(rows[0]["id"], rows[1]["id"]);
    EXPECT_TRUE(rows[1]["ended"].is_string());
    EXPECT_TRUE(rows[2]["ended"].is_null());  // uncertain units have not ended

    const json after = status();
    EXPECT_EQ(after["used"], 2);
    EXPECT_EQ(after["done"], 1);
    EXPECT_EQ(after["uncertain"], 1);
    EXPECT_EQ(after["released"], 1);
    EXPECT_EQ(after["free"], 8);
    EXPECT_EQ(after["next"], json({{"mac", "0012AB000002"}, {"serial", 1002}}));
}

TEST_F(ProvisionJson, RefusalsAndUsedUpRangesKeepStandardOutputJson) {
    ASSERT_EQ(imgdl("ledger init --ledger " + ledger() +
                    " --mac-first 0012ab000000 --mac-last 0012AB000000 --serial-first 7")
                  .exit,
              0);
    const struct {
        std::string args;
        int exit;
    } refused[] = {
        {"provision identity --json --ledger " + ledger() +
             " --target 127.0.0.1:1 --target 127.0.0.1:1",
         2},  // more targets than free numbers
        {"ledger status --json --ledger " + file("none.sqlite"), 2},
        {"ledger list --json --csv --ledger " + ledger(), 1},
        {"ledger init --json --ledger " + ledger(), 1},
    };
    for (const auto& c : refused) {
        const Result r = imgdl(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err, "") << c.args;
    }

    SimulatorProcess ok(simDir("ok"), 1);
    ASSERT_EQ(imgdl("provision identity --ledger " + ledger() + " --target " + ok.target()).exit,
              0);
    const Result r = imgdl("ledger status --json --ledger " + ledger());
    EXPECT_EQ(r.exit, 0);
    const json s = JsonDocument(r.out);
    EXPECT_TRUE(s["next"].is_null());  // used up
    EXPECT_EQ(s["low"], true);
    EXPECT_THAT(r.err, testing::HasSubstr("warning: only 0 of 1 left"));
}

}  // namespace
}  // namespace imgdl::test

// ledger report run as a script runs it: over a ledger that a real provisioning run filled,
// its JSON, CSV and summary must give the counts the ledger's own rows give, a bad time
// is a usage error, and the chart is XML that an SVG renderer draws.
#include <gmock/gmock.h>

#include <filesystem>

#include "Background.h"
#include "CliTestSupport.h"
#include "JsonTestSupport.h"

namespace imgdl::test {
namespace {

using nlohmann::json;
using testing::HasSubstr;

class ReportCli : public CliTest {
  protected:
    std::string ledger() { return file("ledger.sqlite"); }
    std::string simDir(const std::string& name) {
        std::filesystem::create_directories(file(name));
        return file(name);
    }
    // One target refuses the connection (its numbers go back and the next unit takes
    // them), one takes its identity, one drops the line after the payload (uncertain).
    void provisionAShift() {
        ASSERT_EQ(imgdl("ledger init --ledger " + ledger() +
                        " --mac-first 0012AB000000 --mac-last 0012AB0000FF --serial-first 1000")
                      .exit,
                  0);
        SimulatorProcess ok(simDir("ok"), 1);
        SimulatorProcess drops(simDir("drops"), 1, "close-before-ack");
        const Result r =
            imgdl("provision identity --jobs 1 --ledger " + ledger() +
                  " --target 127.0.0.1:1 --target " + ok.target() + " --target " + drops.target());
        ASSERT_EQ(r.exit, 3) << r.err;
        const Result list = imgdl("ledger list --json --ledger " + ledger());
        ASSERT_EQ(list.exit, 0) << list.err;
        rows = JsonLines(list.out);
        ASSERT_EQ(rows.size(), 3u);
        ASSERT_EQ(rows[2]["result"], "uncertain");
        ASSERT_TRUE(rows[2]["cause"].is_string());
    }
    json report(const std::string& args) {
        const Result r = imgdl("ledger report --json --ledger " + ledger() + " " + args);
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return JsonDocument(r.out);
    }
    std::vector<json> rows;  // as ledger list --json gave them
};

TEST_F(ReportCli, FiguresOfARealRunMatchTheLedgersRows) {
    provisionAShift();
    const std::string cause = rows[2]["cause"];
    json r = report("");
    EXPECT_EQ(r["windowHours"], 12.0);
    EXPECT_EQ(r["station"], nullptr);
    EXPECT_EQ(r["done"], 1);
    EXPECT_EQ(r["uncertain"], 1);
    EXPECT_EQ(r["void"], 0);
    EXPECT_EQ(r["released"], 1);  // the same MAC, released and then done: one unit
    EXPECT_DOUBLE_EQ(r["unitsPerHour"].get<double>(), 1.0 / 12);
    EXPECT_GE(r["medianSeconds"].get<double>(), 0);
    EXPECT_EQ(r["slowestSeconds"], r["medianSeconds"]);
    EXPECT_EQ(r["failures"], 1);
    EXPECT_EQ(r["failuresByCause"], json({{cause, 1}}));
    ASSERT_EQ(r["stations"].size(), 1u);
    EXPECT_EQ(r["stations"][0]["station"], rows[0]["station"]);
    EXPECT_EQ(r["stations"][0]["done"], 1);
    EXPECT_EQ(r["stations"][0]["ports"], json::array());
    int done = 0, failures = 0;
    for (const json& hour : r["hourly"]) {
        done += hour["done"].get<int>();
        failures += hour["failures"].get<int>();
    }
    EXPECT_EQ(done, 1);
    EXPECT_EQ(failures, 1);
    EXPECT_GE(r["hourly"].size(), 12u);
    EXPECT_LE(r["hourly"].size(), 13u);

    // A person finds the uncertain unit gone: it counts as void, its failure stays.
    ASSERT_EQ(imgdl("ledger settle " + rows[2]["mac"].get<std::string>() +
                    " --as void --note 'no answer' --ledger " + ledger())
                  .exit,
              0);
    r = report("");
    EXPECT_EQ(r["uncertain"], 0);
    EXPECT_EQ(r["void"], 1);
    EXPECT_EQ(r["failuresByCause"], json({{cause, 1}}));

    EXPECT_EQ(report("--station no-such-station")["done"], 0);
    const json before = report("--since 2020-01-01T00:00:00+01:00 --until 2020-01-01T12:00:00Z");
    EXPECT_EQ(before["done"], 0);
    EXPECT_EQ(before["windowHours"], 13.0);
}

TEST_F(ReportCli, AStationRunIsCountedForTheStationAndEachPort) {
    ASSERT_EQ(imgdl("ledger init --ledger " + ledger() +
                    " --mac-first 0012AB000000 --mac-last 0012AB0000FF --serial-first 1000")
                  .exit,
              0);
    const std::vector<int> ports = FreePorts(2);
    std::vector<std::unique_ptr<Background>> units;
    for (const int port : ports)
        units.push_back(std::make_unique<Background>(
            std::vector<std::string>{RECORDER_SIM_PROGRAM, "--listen",
                                     "127.0.0.1:" + std::to_string(port)},
            file(std::to_string(port) + ".out"), file(std::to_string(port) + ".err")));
    const Result run = imgdl("station --recipe identity --once 2 --ledger " + ledger() +
                             " --port a=127.0.0.1:" + std::to_string(ports[0]) +
                             " --port b=127.0.0.1:" + std::to_string(ports[1]));
    ASSERT_EQ(run.exit, 0) << run.err;

    const json r = report("");
    EXPECT_EQ(r["done"], 2);
    EXPECT_EQ(r["failures"], 0);
    EXPECT_EQ(r["released"], 0);
    EXPECT_DOUBLE_EQ(r["unitsPerHour"].get<double>(), 2.0 / 12);
    EXPECT_LE(r["medianSeconds"].get<double>(), r["slowestSeconds"].get<double>());
    ASSERT_EQ(r["stations"].size(), 1u);
    EXPECT_EQ(r["stations"][0]["done"], 2);
    EXPECT_EQ(report("--station " + r["stations"][0]["station"].get<std::string>())["done"], 2);
    // Each port made one unit, timed from when the port found it.
    const json& byPort = r["stations"][0]["ports"];
    ASSERT_EQ(byPort.size(), 2u) << byPort.dump();
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(byPort[i]["port"], i == 0 ? "a" : "b");
        EXPECT_EQ(byPort[i]["done"], 1);
        EXPECT_EQ(byPort[i]["medianSeconds"], byPort[i]["slowestSeconds"]);
    }
}

TEST_F(ReportCli, SummaryAndCsvSayTheSame) {
    provisionAShift();
    const std::string cause = rows[2]["cause"];
    const Result text = imgdl("ledger report --ledger " + ledger());
    EXPECT_EQ(text.exit, 0) << text.err;
    EXPECT_THAT(text.out, HasSubstr("\nunits: done 1, uncertain 1, void 0; attempts released 1\n"));
    EXPECT_THAT(text.out, HasSubstr("\nrate: 0.1 units per hour; time per unit: median "));
    EXPECT_THAT(text.out, HasSubstr("\nfailures: 1 (" + cause + " 1)\n"));
    EXPECT_THAT(text.out, HasSubstr("\nstation " + rows[0]["station"].get<std::string>() + "\n"));

    const Result csv = imgdl("ledger report --csv --ledger " + ledger());
    EXPECT_EQ(csv.exit, 0) << csv.err;
    const auto lines = SplitLines(csv.out);
    ASSERT_GE(lines.size(), 3u + 12u);
    const auto header = SplitWords(lines[0], ',');
    const auto total = SplitWords(lines[1], ',');
    ASSERT_EQ(total.size(), header.size()) << lines[1];
    std::map<std::string, std::string> field;
    for (std::size_t i = 0; i < header.size(); ++i) field[header[i]] = total[i];
    EXPECT_EQ(field["scope"], "total");
    EXPECT_EQ(field["done"], "1");
    EXPECT_EQ(field["uncertain"], "1");
    EXPECT_EQ(field["released"], "1");
    EXPECT_EQ(field["failures"], "1");
    EXPECT_EQ(field["cause:" + cause], "1");
    EXPECT_THAT(lines[2], testing::StartsWith("station,"));
    std::size_t hours = 0;
    for (const auto& line : lines) hours += line.starts_with("hour,") ? 1 : 0;
    EXPECT_GE(hours, 12u);
}

TEST_F(ReportCli, TheDayTheClocksGoBackHas25HourlyCountsEachNamedOnce) {
    provisionAShift();
    const Result r = run("env TZ=Europe/Berlin " IMGDL_PROGRAM,
                         "ledger report --json --ledger " + ledger() +
                             " --since 2026-10-25T00:00:00+02:00 --until 2026-10-26T00:00:00Z");
    ASSERT_EQ(r.exit, 0) << r.err;
    const json doc = JsonDocument(r.out);
    EXPECT_EQ(doc["since"], "2026-10-25T00:00:00+02:00");
    EXPECT_EQ(doc["until"], "2026-10-26T01:00:00+01:00");
    EXPECT_EQ(doc["windowHours"], 26.0);
    ASSERT_EQ(doc["hourly"].size(), 26u);
    EXPECT_EQ(doc["hourly"][2]["start"], "2026-10-25T02:00:00+02:00");
    EXPECT_EQ(doc["hourly"][3]["start"], "2026-10-25T02:00:00+01:00");
    EXPECT_EQ(doc["hourly"][25]["start"], "2026-10-26T00:00:00+01:00");
}

TEST_F(ReportCli, ABadTimeOrWindowIsAUsageErrorNamingIt) {
    struct Case {
        std::string args;
        std::string named;
    };
    const Case cases[] = {
        {"--since yesterday", "'yesterday'"},
        {"--since 2026-12-10T06:00:00", "'2026-12-10T06:00:00'"},  // no offset
        {"--until 2026-12-10T25:00:00+01:00", "'2026-12-10T25:00:00+01:00'"},
        {"--since 2026-02-30T06:00:00Z", "'2026-02-30T06:00:00Z'"},
        {"--since 2026-12-10T07:00:00+01:00 --until 2026-12-10T06:00:00Z",
         "--since must be before --until"},
        {"--since 2026-12-10T06:00:00Z --until 2026-12-10T06:00:00Z",
         "--since must be before --until"},
        {"--since 2025-12-10T06:00:00Z --until 2026-12-11T06:00:01Z", "more than 366 days"},
        {"--json --csv", "--json"},
        {"--since", "--since"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        // No ledger is there: a usage error is found before any is opened.
        const Result r = imgdl("ledger report --ledger " + file("none.sqlite") + " " + c.args);
        EXPECT_EQ(r.exit, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr(c.named));
        EXPECT_THAT(r.err, HasSubstr("usage: imgdl ledger report"));
    }
}

TEST_F(ReportCli, RefusalsPrintNothingOnStandardOutput) {
    const Result missing = imgdl("ledger report --json --ledger " + file("none.sqlite"));
    EXPECT_EQ(missing.exit, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_THAT(missing.err, HasSubstr("imgdl: "));

    provisionAShift();
    const std::string chart = file("no-such-folder/chart.svg");
    const Result unwritable =
        imgdl("ledger report --json --ledger " + ledger() + " --svg " + chart);
    EXPECT_EQ(unwritable.exit, 2);
    EXPECT_EQ(unwritable.out, "");
    EXPECT_THAT(unwritable.err, HasSubstr(chart));
}

TEST_F(ReportCli, TheChartIsSvgThatARendererDraws) {
    provisionAShift();
    const std::string cases[] = {
        "",
        "--station '<b>&amp;\"'",  // markup in XML, in the chart's heading
        "--station \"$(printf 'a\\001\\377\\303\\274b')\"",  // a control, not UTF-8, ü
        "--since 2026-10-24T12:00:00+02:00 --until 2026-10-25T12:00:00+01:00",  // 25 hours
        "--since 2025-12-11T06:00:00Z --until 2026-12-12T06:00:00Z",  // the longest window
    };
    for (const std::string& args : cases) {
        SCOPED_TRACE(args);
        const Result r = run("env TZ=Europe/Berlin " IMGDL_PROGRAM,
                             "ledger report --ledger " + ledger() + " --svg chart.svg " + args);
        ASSERT_EQ(r.exit, 0) << r.err;
        const Result root = run("xmllint",
                                "--xpath 'concat(namespace-uri(/*), \" \", "
                                "local-name(/*), \" \", /*/@version)' chart.svg");
        EXPECT_EQ(root.exit, 0) << root.err;
        EXPECT_EQ(root.out, "http://www.w3.org/2000/svg svg 1.1\n");
        std::filesystem::remove(file("chart.png"));
        const Result png = run("rsvg-convert", "-o chart.png chart.svg");
        EXPECT_EQ(png.exit, 0) << png.err;
        EXPECT_EQ(read(file("chart.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
    }
}

}  // namespace
}  // namespace imgdl::test

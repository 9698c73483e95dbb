// imgdl ledger label as a line's script runs it: which units get a label, where it goes,
// what a script reads on standard output and in the exit code, and a print through a
// scheduler the test starts itself.
#include <gmock/gmock.h>

#include <filesystem>
#include <regex>
#include <set>

#include "Background.h"
#include "CliTestSupport.h"
#include "JsonTestSupport.h"
#include "PrivateCups.h"
#include "labels/UnitLabels.h"
#include "ledger/Ledger.h"

namespace imgdl::test {
namespace {

using testing::HasSubstr;

class LabelCommand : public CliTest {
  protected:
    LabelCommand() {
        const Result r = imgdl("ledger init --ledger " + ledger() +
                               " --mac-first 0012ab000000 --mac-last 0012AB0000FF "
                               "--serial-first 1000");
        EXPECT_EQ(r.exit, 0) << r.err;
    }
    std::string ledger() { return file("ledger.sqlite"); }
    void provision(int units) {
        for (int i = 0; i < units; ++i) {
            const Result r = imgdl("provision identity --ledger " + ledger() + " " + target());
            ASSERT_EQ(r.exit, 0) << r.err;
        }
    }
    Result label(const std::string& args) {
        return imgdl("ledger label --ledger " + ledger() + " " + args);
    }
    std::vector<std::string> row(std::size_t n) {
        const auto rows = SplitLines(imgdl("ledger list --csv --ledger " + ledger()).out);
        return n + 1 < rows.size() ? SplitWords(rows[n + 1], ',') : std::vector<std::string>{};
    }
    std::string prints(std::size_t n) {
        const auto fields = row(n);
        return fields.size() > 15 ? fields[15] : "?";
    }
    static std::set<std::string> Scan(const std::string& png) {
        std::set<std::string> found;
        for (const auto& line : SplitLines(ReadText(png + ".txt"))) found.insert(line);
        return found;
    }
    static int Pages(const std::string& pdf) {
        const std::string bytes = ReadText(pdf);
        const std::regex box("/MediaBox");
        return static_cast<int>(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), box),
                                              std::sregex_iterator()));
    }
};

TEST_F(LabelCommand, ADoneUnitGetsItsLabelAndASecondOneIsCounted) {
    provision(2);
    Result r = label("0012ab000001");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "0012AB000001 1001 label-0012AB000001.pdf\n");
    EXPECT_EQ(ReadText(file("label-0012AB000001.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(prints(1), "1");

    r = label("--serial 1001 --out again.png");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "0012AB000001 1001 again.png\n");
    EXPECT_EQ(prints(1), "2");
    EXPECT_EQ(prints(0), "0");
    if (std::system(("zbarimg --raw -q '" + file("again.png") + "' > '" + file("again.png.txt") +
                     "' 2>/dev/null")
                        .c_str()) == 0) {
        EXPECT_EQ(Scan(file("again.png")),
                  (std::set<std::string>{"0012AB000001", "MAC=0012AB000001;SN=1001"}));
    }
    const auto listed = JsonLines(imgdl("ledger list --json --ledger " + ledger()).out);
    EXPECT_EQ(listed[1]["labelPrints"], 2);
}

TEST(LabelMarks, AReprintAndAUnitNotDoneSaySoOnTheLabel) {
    const struct {
        std::uint32_t prints;
        ledger::UnitResult result;
        bool notDone;
        const char* mark;
    } cases[] = {
        {0, ledger::UnitResult::Done, false, ""},
        {1, ledger::UnitResult::Done, false, "REPRINT 1"},
        {0, ledger::UnitResult::Uncertain, true, "NOT DONE: uncertain"},
        {3, ledger::UnitResult::Allocated, true, "REPRINT 3, NOT DONE: allocated"},
    };
    for (const auto& c : cases) {
        ledger::UnitRecord unit;
        unit.mac = 0x0012AB000001;
        unit.serial = 7;
        unit.labelPrints = c.prints;
        unit.result = c.result;
        unit.imageVersion = "1.2.3";
        unit.started = "2026-12-10T23:30:00Z";
        const auto label = labels::LabelFor(unit, c.notDone);
        EXPECT_EQ(label.mark, c.mark);
        EXPECT_EQ(label.version, "1.2.3");
        EXPECT_EQ(label.date.size(), 10u);
    }
}

TEST_F(LabelCommand, AUnitNotDoneGetsALabelOnlyWhenForced) {
    {
        auto opened = ledger::OpenLedger(ledger());
        ASSERT_TRUE(opened.ok());
        auto& l = *opened.value();
        const auto kept = l.allocate({"127.0.0.1:9", "identity", "", "", "s", "", ""});
        const auto freed = l.allocate({"127.0.0.1:9", "identity", "", "", "s", "", ""});
        ASSERT_TRUE(kept.ok() && freed.ok());
        ASSERT_FALSE(l.markUncertain(kept.value().id, "payload started").failed());
        ASSERT_FALSE(l.release(freed.value().id, "refused").failed());
    }
    const struct {
        const char* args;
        int exit;
        const char* says;
    } cases[] = {
        {"0012AB000000", 2, "unit 0012AB000000 is uncertain, not done: no label (--force"},
        {"0012AB000001", 2, "no unit holds MAC 0012AB000001"},
        {"0012AB0000AA", 2, "no unit holds MAC 0012AB0000AA"},
        {"--serial 999", 2, "no unit holds serial 999"},
        {"0012AB000001 --force", 2, "no unit holds MAC 0012AB000001"},
    };
    for (const auto& c : cases) {
        const Result r = label(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_THAT(r.err, HasSubstr(c.says)) << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(file("label-0012AB000000.pdf")));
    const Result forced = label("0012AB000000 --force");
    EXPECT_EQ(forced.exit, 0) << forced.err;
    EXPECT_TRUE(std::filesystem::exists(file("label-0012AB000000.pdf")));
    EXPECT_EQ(prints(0), "1");
}

TEST_F(LabelCommand, ABatchTakesEveryUnitDoneSinceATime) {
    provision(3);
    Result r = label("--since 2000-01-01T00:00:00+01:00 --out shift.pdf");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(SplitLines(r.out).size(), 3u);
    EXPECT_EQ(Pages(file("shift.pdf")), 3);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(prints(i), "1");

    r = label("--since 2000-01-01T00:00:00Z");
    EXPECT_EQ(r.exit, 0) << r.err;
    for (const char* name :
         {"label-0012AB000000.pdf", "label-0012AB000001.pdf", "label-0012AB000002.pdf"})
        EXPECT_EQ(Pages(file(name)), 1) << name;

    r = label("--since 2999-01-01T00:00:00-05:00");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("no unit was done since 2999-01-01T00:00:00-05:00"));
}

TEST_F(LabelCommand, UsageErrorsChangeNothing) {
    provision(1);
    for (const std::string args :
         {"", "0012AB000000 --serial 1000", "0012AB00000G", "--serial 10x",
          "--since 2026-12-10T06:00:00", "--since yesterday",
          "--since 2026-12-10T06:00:00Z --force", "0012AB000000 --out label.txt",
          "--since 2026-12-10T06:00:00Z --out shift.png", "0012AB000000 --colour red"}) {
        const Result r = label(args);
        EXPECT_EQ(r.exit, 1) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err, "") << args;
    }
    EXPECT_EQ(prints(0), "0");
}

TEST_F(LabelCommand, AnOutputThatFailsCountsNothing) {
    provision(1);
    std::filesystem::create_directory(file("folder.pdf"));
    std::ofstream(file("bad.layout")) << "width = 60\nfields = mac logo\n";
    const struct {
        std::string args;
        int exit;
        std::string says;
    } cases[] = {
        {"0012AB000000 --out " + file("missing/label.pdf"), 3, file("missing/label.pdf")},
        {"0012AB000000 --out " + file("folder.pdf"), 3, "is a folder"},
        {"0012AB000000 --layout " + file("bad.layout"), 2,
         file("bad.layout") + ":2: unknown field 'logo'"},
        {"0012AB000000 --layout " + file("folder.pdf"), 2, "not a regular file"},
    };
    for (const auto& c : cases) {
        const Result r = label(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_THAT(r.err, HasSubstr(c.says)) << c.args;
    }
    EXPECT_EQ(prints(0), "0");
    EXPECT_TRUE(std::filesystem::is_empty(file("folder.pdf")));
}

TEST_F(LabelCommand, PrintsThroughAPrivateScheduler) {
    PrivateCups cups(file("").substr(0, file("").size() - 1));
    if (!cups.skipReason().empty()) GTEST_SKIP() << cups.skipReason();
    provision(2);
    const std::string imgdlThere = cups.clientEnvironment() + IMGDL_PROGRAM;
    Result r = run(imgdlThere, "ledger label 0012AB000001 --print labels --ledger " + ledger());
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "0012AB000001 1001 printer labels\n");
    const auto pdf = cups.printed("0012AB000001", std::chrono::seconds(60));
    ASSERT_TRUE(pdf) << "no PDF from cups-pdf";
    const std::string bytes = ReadText(pdf->string());
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    // The job asked for the label's size as its media: 60 x 30 mm.
    EXPECT_THAT(bytes, HasSubstr("/MediaBox [0 0 170 85]"));
    EXPECT_EQ(prints(1), "1");

    r = run(imgdlThere, "ledger label 0012AB000000 --print nosuch --ledger " + ledger());
    EXPECT_EQ(r.exit, 3);
    EXPECT_THAT(r.err, HasSubstr("no printer named 'nosuch'"));
    EXPECT_EQ(prints(0), "0");
}

}  // namespace
}  // namespace imgdl::test

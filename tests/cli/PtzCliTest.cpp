#include <gmock/gmock.h>

#include "CliTestSupport.h"
#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"

namespace imgdl::test {
namespace {

class PtzCli : public CliTest {
  protected:
    PtzCli() {
        PtzDatabase db;
        for (std::int32_t n : {7, 1234, 3}) {
            db.Grow(1);
            PtzProtocol p = PtzProtocol::MakeNew(n);
            p.SetName("Cam]" + std::to_string(n));
            db.Put(db.Count() - 1, p);
        }
        EXPECT_EQ(db.Save(file("db.pdb")), 1);
    }
};

TEST_F(PtzCli, BuildListAndVerify) {
    Result r = imgdl("ptz build db.pdb 1234 7 -o out.bin");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(imgdl("ptz list out.bin").out, "[1234]Cam]1234\n[007]Cam]7\n");
    EXPECT_EQ(imgdl("ptz list db.pdb").out, "[007]Cam]7\n[1234]Cam]1234\n[003]Cam]3\n");
    r = imgdl("ptz verify out.bin");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "valid\n");
}

TEST_F(PtzCli, VerifyRefusesABrokenImage) {
    imgdl("ptz build db.pdb 3 -o out.bin");
    auto bytes = testimage::ReadFile(file("out.bin"));
    ++bytes[0];
    write("broken.bin", bytes);
    const Result r = imgdl("ptz verify broken.bin");
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.err, "This PTZ image file is invalid. \n");
}

TEST_F(PtzCli, BuildRefusesBadSelectionsAndWritesNothing) {
    std::string many;
    for (int i = 0; i < 37; ++i) many += " 7";
    const struct {
        std::string args;
        const char* says;
    } cases[] = {
        {"db.pdb 7 8", "no protocol 8"},
        {"db.pdb 7 3 7", "protocol 7 given twice"},
        {"db.pdb" + many, "at most 36"},
        {"missing.pdb 7", "cannot read the PTZ database"},
    };
    for (const auto& c : cases) {
        const Result r = imgdl("ptz build " + c.args + " -o out.bin");
        EXPECT_EQ(r.exit, 2) << c.args;
        EXPECT_THAT(r.err, testing::HasSubstr(c.says)) << c.args;
        EXPECT_FALSE(std::filesystem::exists(file("out.bin"))) << c.args;
    }
}

}  // namespace
}  // namespace imgdl::test

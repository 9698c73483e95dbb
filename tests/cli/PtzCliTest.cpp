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

TEST_F(PtzCli, BuildRefusesNegativeNumbersEvenWhenTheDatabaseHasThem) {
    // -1 is what an empty slot reads as: the recorder would stop reading the list there.
    PtzDatabase db;
    for (std::int32_t n : {7, -1, -5}) {
        db.Grow(1);
        db.Put(db.Count() - 1, PtzProtocol::MakeNew(n));
    }
    ASSERT_EQ(db.Save(file("negative.pdb")), 1);
    for (const char* numbers : {"-1", "7 -1", "-5 7"}) {
        const Result r = imgdl("ptz build negative.pdb " + std::string(numbers) + " -o out.bin");
        EXPECT_EQ(r.exit, 2) << numbers;
        EXPECT_EQ(r.out, "") << numbers;
        EXPECT_THAT(r.err, testing::HasSubstr("protocol numbers cannot be negative")) << numbers;
        EXPECT_FALSE(std::filesystem::exists(file("out.bin"))) << numbers;
    }
}

TEST_F(PtzCli, ListTellsAnImageWhoseChecksumReadsPDFromADatabase) {
    // The checksum word is stored little-endian, so its low half is the file's first
    // two bytes. Raising the baud rate word by d lowers the checksum by d: pick d so
    // the low half becomes "PD" (0x4450 little-endian).
    PtzProtocol camera = PtzProtocol::MakeNew(5);
    camera.SetName("Dome");
    PtzImage image;
    image.PutSlot(0, camera);
    const std::uint32_t checksum = ComputePtzImageChecksum(image.Bytes());
    camera.baudRate = static_cast<std::int32_t>((checksum - 0x4450u) & 0xFFFFu);
    image.PutSlot(0, camera);
    ASSERT_EQ(image.Save(file("pd.bin")), 1);
    const auto bytes = testimage::ReadFile(file("pd.bin"));
    ASSERT_EQ(bytes[0], 'P');
    ASSERT_EQ(bytes[1], 'D');

    Result r = imgdl("ptz list pd.bin");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "[005]Dome\n");
    r = imgdl("ptz verify pd.bin");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "valid\n");
}

TEST_F(PtzCli, ListRefusesWhatIsNeitherADatabaseNorAnImage) {
    imgdl("ptz build db.pdb 3 -o out.bin");
    auto broken = testimage::ReadFile(file("out.bin"));
    broken[0] = static_cast<std::uint8_t>(broken[0] == 'X' ? 'Y' : 'X');  // checksum off
    write("broken.bin", broken);
    write("short.bin", std::vector<std::uint8_t>(100, 0xFF));
    for (const char* name : {"broken.bin", "short.bin"}) {
        const Result r = imgdl(std::string("ptz list ") + name);
        EXPECT_EQ(r.exit, 2) << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_EQ(r.err, "imgdl: neither a PTZ database nor a valid PTZ image: " +
                             std::string(name) + "\n")
            << name;
    }
}

}  // namespace
}  // namespace imgdl::test

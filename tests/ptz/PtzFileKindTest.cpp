// Telling a PTZ image from a database: an image is recognised by its length and
// checksum before the "PD" of a database is looked for, because one image in 65,536
// has a checksum word that starts with "PD".
#include <gtest/gtest.h>

#include "PtzTestFiles.h"
#include "ptz/PtzDatabase.h"
#include "ptz/PtzFileKind.h"
#include "ptz/PtzImage.h"

namespace imgdl::test {
namespace {

Bytes SavedImage(const PtzImage& image, std::uint32_t checksum) {
    Bytes bytes(image.Bytes().begin(), image.Bytes().end());
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(checksum >> (8 * i));
    return bytes;
}

// A one-protocol image whose valid checksum word begins with the bytes "PD": raising
// the baud rate word by d lowers the checksum by d.
Bytes ImageStartingWithPD() {
    PtzProtocol record = SampleProtocol(5);
    record.baudRate = 0;
    PtzImage image;
    image.PutSlot(0, record);
    record.baudRate =
        static_cast<std::int32_t>((ComputePtzImageChecksum(image.Bytes()) - 0x4450u) & 0xFFFFu);
    image.PutSlot(0, record);
    return SavedImage(image, ComputePtzImageChecksum(image.Bytes()));
}

TEST(PtzFileKindTest, LengthAndChecksumDecideBeforeTheDatabaseMagic) {
    PtzImage empty;
    const Bytes valid = SavedImage(empty, ComputePtzImageChecksum(empty.Bytes()));
    Bytes damaged = valid;
    ++damaged[0];
    Bytes longer = valid;
    longer.push_back(0);
    const Bytes pd = ImageStartingWithPD();
    ASSERT_EQ(pd[0], 'P');
    ASSERT_EQ(pd[1], 'D');
    PtzDatabase db;
    db.Grow(1);
    db.Put(0, SampleProtocol(7));
    const Bytes database = db.SaveToBytes();
    const Bytes emptyDatabase = PtzDatabase().SaveToBytes();

    const struct {
        const char* name;
        const Bytes& bytes;
        PtzFileKind kind;
    } cases[] = {
        {"valid image", valid, PtzFileKind::Image},
        {"image whose checksum reads PD", pd, PtzFileKind::Image},
        {"database", database, PtzFileKind::Database},
        {"empty database", emptyDatabase, PtzFileKind::Database},
        {"image with a wrong checksum", damaged, PtzFileKind::Unknown},
        {"image with a byte more", longer, PtzFileKind::Unknown},
        {"nothing", Bytes{}, PtzFileKind::Unknown},
        {"PD and no whole header", Bytes{'P', 'D', 1, 0}, PtzFileKind::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(DetectPtzFileKind(c.bytes), c.kind) << c.name;
}

}  // namespace
}  // namespace imgdl::test

#include <gtest/gtest.h>

#include <QString>

#include "ui/FileDialogFilter.h"

namespace imgdl {
namespace {

TEST(FileDialogFilter, EveryFileFilterShowsNamesWithoutAnExtensionToo) {
    const struct {
        const char* classic;
        const char* qt;
    } cases[] = {
        {"All files (*.*)|", "All files (*)"},  // a label without a pattern of its own
        {"PTZ DB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||", "PTZ DB Files (*.pdb);;All Files (*)"},
        {"PTZ-Image Files (*.bin)|*.bin|All Files (*.*)|*.*||",
         "PTZ-Image Files (*.bin);;All Files (*)"},
        {"Images (*.bin;*.img)|*.bin;*.img|", "Images (*.bin *.img)"},
        {"Mixed|*.bin; *.*|", "Mixed (*.bin *)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToQtFileFilter(c.classic).toStdString(), c.qt) << c.classic;
}

}  // namespace
}  // namespace imgdl

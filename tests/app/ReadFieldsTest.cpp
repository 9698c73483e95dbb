#include <optional>

#include "AppTestSupport.h"
#include "res/StringTable.h"

namespace imgdl::test {
namespace {

struct NumberCase {
    const char* text;
    std::optional<std::uint32_t> value;  // nothing: the field fails
};

const NumberCase kNumberCases[] = {
    {" 5000 ", 5000u},  {"50a0", std::nullopt},      {"-1", std::nullopt},
    {"", std::nullopt}, {"4294967295", 4294967295u}, {"4294967296", std::nullopt},
};

// On a failed number: the prompt alone, the focus on the field and all its text selected.
void ExpectPromptOn(DialogTest& t, QLineEdit* field) {
    EXPECT_EQ(t.service.texts(), std::vector<std::string>{std::string(kPositiveIntegerPrompt)});
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->selectedText(), field->text());
    EXPECT_EQ(field->text().isEmpty(), !field->hasSelectedText());
}

// The port comes before the download type and the serial number, after the path and MAC.
TEST(ReadFields, PortTextsTakenOrRefused) {
    for (const NumberCase& c : kNumberCases) {
        SCOPED_TRACE(std::string("port \"") + c.text + "\"");
        DialogTest t;
        t.showActive();
        t.chooseType("individualDataRadio");
        t.edit("imagePath")->setText("/images/app.bin");
        t.edit("macText")->setText("0012AB3456CD");
        t.edit("serialNumber")->setText("77");
        t.edit("portNumber")->setText(QString::fromLatin1(c.text));
        t.edit("imagePath")->setFocus();

        const bool ok = t.dialog.readFields();
        const DownloaderFields& f = t.dialog.fields();
        EXPECT_EQ(ok, c.value.has_value());
        EXPECT_EQ(f.imagePath, "/images/app.bin");
        EXPECT_EQ(f.macText, "0012AB3456CD");
        if (ok) {
            EXPECT_EQ(f.portNumber, *c.value);
            EXPECT_EQ(f.downloadType, DOWNLOAD_INDIVIDUAL_DATA);
            EXPECT_EQ(f.serialNumber, 77u);
            EXPECT_TRUE(t.service.messages.empty());
        } else {
            EXPECT_EQ(f.portNumber, 5000u);
            EXPECT_EQ(f.downloadType, DOWNLOAD_APPLICATION_IMAGE);
            EXPECT_EQ(f.serialNumber, 0u);
            ExpectPromptOn(t, t.edit("portNumber"));
        }
    }
}

// The serial number is the last number: everything before it is taken either way.
TEST(ReadFields, SerialNumberTextsTakenOrRefused) {
    for (const NumberCase& c : kNumberCases) {
        SCOPED_TRACE(std::string("serial \"") + c.text + "\"");
        DialogTest t;
        t.showActive();
        t.chooseType("individualDataRadio");
        t.edit("portNumber")->setText("6000");
        t.edit("serialNumber")->setText(QString::fromLatin1(c.text));
        t.edit("portNumber")->setFocus();

        const bool ok = t.dialog.readFields();
        const DownloaderFields& f = t.dialog.fields();
        EXPECT_EQ(ok, c.value.has_value());
        EXPECT_EQ(f.portNumber, 6000u);
        EXPECT_EQ(f.downloadType, DOWNLOAD_INDIVIDUAL_DATA);
        if (ok) {
            EXPECT_EQ(f.serialNumber, *c.value);
            EXPECT_TRUE(t.service.messages.empty());
        } else {
            EXPECT_EQ(f.serialNumber, 0u);
            ExpectPromptOn(t, t.edit("serialNumber"));
        }
    }
}

TEST(ReadFields, TakesTheBoxesTheAddressAndWhetherAutoIncreaseIsEnabled) {
    DialogTest t;
    t.chooseType("individualDataRadio");
    t.button("autoIncreaseCheckBox")->click();
    t.button("serialCheckBox")->click();
    ASSERT_TRUE(t.dialog.readFields());
    EXPECT_TRUE(t.dialog.fields().autoIncreaseCheckBox);
    EXPECT_TRUE(t.dialog.fields().autoIncreaseEnabled);
    EXPECT_TRUE(t.dialog.fields().macCheckBox);
    EXPECT_FALSE(t.dialog.fields().serialCheckBox);

    t.button("macCheckBox")->click();  // disables Auto Increase, which stays checked
    ASSERT_TRUE(t.dialog.readFields());
    EXPECT_TRUE(t.dialog.fields().autoIncreaseCheckBox);
    EXPECT_FALSE(t.dialog.fields().autoIncreaseEnabled);
    EXPECT_FALSE(t.dialog.fields().macCheckBox);
}

}  // namespace
}  // namespace imgdl::test

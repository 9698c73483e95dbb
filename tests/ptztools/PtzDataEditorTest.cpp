// The PTZ data editor: what it shows when opened, the command fields kept across
// command changes, the two default-value paths, "Apply to all commands", and OK with
// its number checks.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "PtzToolsTestSupport.h"
#include "ptztools/HexByteField.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "res/StringTable.h"

namespace imgdl::test {
namespace {

class PtzDataEditorTest : public ::testing::Test {
  protected:
    PtzDataEditorDialog& Open(const PtzProtocol& record, std::int32_t editedNumber) {
        editor_ = std::make_unique<PtzDataEditorDialog>(service, record, database, editedNumber);
        return *editor_;
    }
    PtzDataEditorDialog& OpenNew(std::int32_t number) {
        return Open(PtzProtocol::MakeNew(number), -1);
    }
    QLineEdit* Edit(const char* name) const { return Child<QLineEdit>(*editor_, name); }
    QComboBox* List(const char* name) const { return Child<QComboBox>(*editor_, name); }
    QListWidget* Commands() const { return Child<QListWidget>(*editor_, "commandSetList"); }
    void ShowCommand(int index) const { Commands()->setCurrentRow(index); }
    bool PressOk() const {
        Click(*editor_, "okButton");
        return editor_->result() == QDialog::Accepted;
    }

    RecordingDialogService service;
    PtzDatabase database;

  private:
    std::unique_ptr<PtzDataEditorDialog> editor_;
};

const char* const kHexFields[] = {
    "repeatCountEdit",         "senderOffsetEdit",      "receiverOffsetEdit", "checksumOffsetEdit",
    "checksumStartOffsetEdit", "checksumEndOffsetEdit", "checksumMethodEdit", "commandDelayEdit",
    "commandLengthEdit",       "nextCommandEdit",       "dataFormatEdit",
};

std::string DataField(int byte) {
    return "dataEdit" + std::to_string(byte);
}

TEST_F(PtzDataEditorTest, OpenedForNewProtocolSevenShowsItsDefaults) {
    PtzDataEditorDialog& editor = OpenNew(7);
    EXPECT_EQ(editor.windowTitle(), "PTZ Data Editor");
    EXPECT_EQ(Edit("numberEdit")->text(), "7");
    EXPECT_TRUE(Edit("numberEdit")->isEnabled());
    EXPECT_EQ(Edit("nameEdit")->text(), "New PTZ Protocol(7)");
    EXPECT_EQ(Edit("baudRateEdit")->text(), "0");
    EXPECT_EQ(List("parityList")->currentText(), "NONE");
    EXPECT_EQ(List("dataBitList")->currentText(), "BYTE 5");
    EXPECT_EQ(List("stopBitList")->currentText(), "STOP 1");
    EXPECT_EQ(List("enableList")->currentText(), "Off");
    ASSERT_EQ(Commands()->count(), kPtzCommandCount);
    for (int k = 0; k < kPtzCommandCount; ++k)
        EXPECT_EQ(Commands()->item(k)->text().toStdString(), kPtzCommandNames[k]);
    EXPECT_EQ(Commands()->currentItem()->text(), "PTZCMD_AUTO_FOCUS");
    EXPECT_TRUE(Commands()->currentItem()->isSelected());
    for (const char* name : kHexFields) EXPECT_EQ(Edit(name)->text(), "00") << name;
    for (int byte = 0; byte < 32; ++byte) EXPECT_EQ(Edit(DataField(byte).c_str())->text(), "00");
    EXPECT_FALSE(Child<QCheckBox>(editor, "currentOnlyCheck")->isChecked());
}

TEST_F(PtzDataEditorTest, ModifyDisablesNumberAndNeverRefusesIt) {
    const PtzProtocol held = Protocol(5, "Dome");
    ASSERT_EQ(database.Append(held), 1);
    PtzDataEditorDialog& editor = Open(held, 5);
    EXPECT_FALSE(Edit("numberEdit")->isEnabled());
    EXPECT_TRUE(PressOk());
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(editor.record(), held);
}

TEST_F(PtzDataEditorTest, TakenNumberIsRefusedThenAFreeOneAccepted) {
    ASSERT_EQ(database.Append(Protocol(3)), 1);
    ASSERT_EQ(database.Append(Protocol(7)), 1);
    PtzDataEditorDialog& editor = OpenNew(8);
    Edit("numberEdit")->setText("3");
    Edit("nameEdit")->setText("Typed");
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(LoadString(IDS_CODE_EXISTS))});
    EXPECT_EQ(Edit("numberEdit")->text(), "3");  // the operator's input stays
    EXPECT_EQ(Edit("nameEdit")->text(), "Typed");

    Edit("numberEdit")->setText("9");
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(editor.record().number, 9);
    EXPECT_EQ(editor.record().GetName(), "Typed");
    EXPECT_EQ(service.messages.size(), 1u);
    EXPECT_EQ(database.Count(), 2);  // the editor never writes to the database
}

TEST_F(PtzDataEditorTest, NumberOrBaudRateThatIsNoIntegerKeepsTheDialogOpen) {
    struct Case {
        const char* number;
        const char* baudRate;
        bool accepted;
        std::int32_t storedBaudRate;
    };
    const Case cases[] = {
        {"", "9600", false, 0},         {"12", "", false, 0},         {"12", "96x", false, 0},
        {"99999999999", "1", false, 0}, {"12", "-9600", true, -9600}, {"12", " 4800 ", true, 4800},
        {"12", "2147483648", false, 0},
    };
    for (const Case& c : cases) {
        service.messages.clear();
        OpenNew(7);
        Edit("numberEdit")->setText(c.number);
        Edit("baudRateEdit")->setText(c.baudRate);
        EXPECT_EQ(PressOk(), c.accepted) << c.number << " / " << c.baudRate;
        if (c.accepted) {
            EXPECT_TRUE(service.messages.empty());
        } else {
            EXPECT_EQ(service.texts(),
                      std::vector<std::string>{std::string(kPositiveIntegerPrompt)});
        }
    }
}

TEST_F(PtzDataEditorTest, CommandFieldsAreKeptAcrossCommandChanges) {
    PtzDataEditorDialog& editor = OpenNew(7);
    Edit("repeatCountEdit")->setText("05");
    Edit("dataEdit31")->setText("7E");
    ShowCommand(3);
    EXPECT_EQ(Edit("repeatCountEdit")->text(), "00");
    EXPECT_EQ(Edit("dataEdit31")->text(), "00");
    Edit("commandDelayEdit")->setText("1F");
    ShowCommand(0);
    EXPECT_EQ(Edit("repeatCountEdit")->text(), "05");
    EXPECT_EQ(Edit("dataEdit31")->text(), "7E");
    EXPECT_TRUE(service.messages.empty());
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(editor.record().commands[0].repeatCount, 5);
    EXPECT_EQ(editor.record().commands[0].data[31], 0x7E);
    EXPECT_EQ(editor.record().commands[3].commandDelay, 0x1F);
}

// Ctrl+click clears the list's selection; the command on screen still takes its edits.
TEST_F(PtzDataEditorTest, ClearedListSelectionKeepsTheShownCommandsEdits) {
    PtzDataEditorDialog& editor = OpenNew(7);
    ShowCommand(6);
    Edit("nextCommandEdit")->setText("2A");
    Commands()->clearSelection();
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(editor.record().commands[6].nextCommand, 0x2A);
}

TEST_F(PtzDataEditorTest, EachFieldStoresIntoItsOwnByte) {
    PtzDataEditorDialog& editor = OpenNew(7);
    ShowCommand(39);
    List("enableList")->setCurrentIndex(1);
    for (std::size_t i = 0; i < std::size(kHexFields); ++i)
        Edit(kHexFields[i])->setText(FormatHexByte(static_cast<std::uint8_t>(0x10 + i)));
    for (int byte = 0; byte < 32; ++byte)
        Edit(DataField(byte).c_str())
            ->setText(FormatHexByte(static_cast<std::uint8_t>(0xC0 + byte)));
    ASSERT_TRUE(PressOk());
    const PtzCommand& c = editor.record().commands[39];
    EXPECT_EQ(c.enable, 1);
    const std::uint8_t expected[] = {c.repeatCount,    c.senderOffset,        c.receiverOffset,
                                     c.checksumOffset, c.checksumStartOffset, c.checksumEndOffset,
                                     c.checksumMethod, c.commandDelay,        c.commandLength,
                                     c.nextCommand,    c.dataFormat};
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(expected[i], 0x10 + i) << i;
    for (int byte = 0; byte < 32; ++byte) EXPECT_EQ(c.data[byte], 0xC0 + byte) << byte;
}

TEST_F(PtzDataEditorTest, ReturnDefaultForTheSelectedCommandOnlyAsksNothing) {
    PtzProtocol record = Protocol(7, "Dome");
    record.commands[0].repeatCount = 0x22;
    PtzDataEditorDialog& editor = Open(record, -1);
    Edit("repeatCountEdit")->setText("05");
    ShowCommand(1);
    Edit("dataEdit0")->setText("AA");
    ShowCommand(0);
    Edit("nameEdit")->setText("Changed");
    Child<QCheckBox>(editor, "currentOnlyCheck")->setChecked(true);
    Click(editor, "returnDefaultButton");
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(Edit("repeatCountEdit")->text(), "22");
    EXPECT_EQ(Edit("nameEdit")->text(), "Changed");
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(editor.record().commands[0].repeatCount, 0x22);
    EXPECT_EQ(editor.record().commands[1].data[0], 0xAA);  // other commands keep edits
    EXPECT_EQ(editor.record().GetName(), "Changed");
}

TEST_F(PtzDataEditorTest, ReturnDefaultForEverythingAsksFirst) {
    const PtzProtocol record = Protocol(7, "Dome");
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        service.messages.clear();
        service.answers = {answer};
        PtzDataEditorDialog& editor = Open(record, -1);
        Edit("numberEdit")->setText("70");
        Edit("nameEdit")->setText("Changed");
        List("parityList")->setCurrentIndex(2);
        Edit("dataEdit3")->setText("33");
        ShowCommand(4);
        Edit("repeatCountEdit")->setText("44");
        Click(editor, "returnDefaultButton");
        EXPECT_EQ(service.texts(),
                  std::vector<std::string>{std::string(LoadString(IDS_LOSE_MODIFIED))});
        EXPECT_EQ(service.messages[0].buttons, MessageButtons::YesNo);
        ASSERT_TRUE(PressOk());
        if (answer == MessageAnswer::Yes) {
            EXPECT_EQ(editor.record(), record);
            EXPECT_EQ(Commands()->currentRow(), 4);
        } else {
            EXPECT_EQ(editor.record().number, 70);
            EXPECT_EQ(editor.record().GetName(), "Changed");
            EXPECT_EQ(editor.record().parity, 3);
            EXPECT_EQ(editor.record().commands[0].data[3], 0x33);
            EXPECT_EQ(editor.record().commands[4].repeatCount, 0x44);
        }
    }
}

TEST_F(PtzDataEditorTest, ApplyToAllCommandsCopiesTheScreenToEveryCommand) {
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        service.messages.clear();
        service.answers = {answer};
        const PtzProtocol record = Protocol(7, "Dome");
        PtzDataEditorDialog& editor = Open(record, -1);
        ShowCommand(4);
        List("enableList")->setCurrentIndex(1);
        Edit("checksumMethodEdit")->setText("09");
        Edit("dataEdit31")->setText("FE");
        Click(editor, "applyAllButton");
        EXPECT_EQ(service.texts(),
                  std::vector<std::string>{std::string(LoadString(IDS_APPLY_ALL_COMMANDS))});
        ASSERT_TRUE(PressOk());
        PtzCommand onScreen = record.commands[4];
        onScreen.enable = 1;
        onScreen.checksumMethod = 9;
        onScreen.data[31] = 0xFE;
        for (int k = 0; k < kPtzCommandCount; ++k) {
            const PtzCommand expected =
                answer == MessageAnswer::Yes || k == 4 ? onScreen : record.commands[k];
            EXPECT_EQ(editor.record().commands[k], expected) << k;
        }
    }
}

TEST_F(PtzDataEditorTest, SerialSettingsOutsideTheListsShowTheFirstEntry) {
    struct Case {
        std::uint8_t parity, dataBits, stopBits;
        const char *parityText, *dataBitText, *stopBitText;
        std::uint8_t storedParity, storedDataBits, storedStopBits;
    };
    const Case cases[] = {
        {2, 3, 1, "NONE", "BYTE 8", "STOP 2", 0, 3, 1},
        {200, 4, 2, "NONE", "BYTE 5", "STOP 1", 0, 0, 0},
        {3, 2, 0, "EVEN", "BYTE 7", "STOP 1", 3, 2, 0},
        {1, 1, 1, "ODD", "BYTE 6", "STOP 2", 1, 1, 1},
    };
    for (const Case& c : cases) {
        PtzProtocol record = Protocol(7);
        record.parity = c.parity;
        record.dataBits = c.dataBits;
        record.stopBits = c.stopBits;
        PtzDataEditorDialog& editor = Open(record, 7);
        EXPECT_EQ(List("parityList")->currentText(), c.parityText);
        EXPECT_EQ(List("dataBitList")->currentText(), c.dataBitText);
        EXPECT_EQ(List("stopBitList")->currentText(), c.stopBitText);
        ASSERT_TRUE(PressOk());
        EXPECT_EQ(editor.record().parity, c.storedParity) << int{c.parity};
        EXPECT_EQ(editor.record().dataBits, c.storedDataBits);
        EXPECT_EQ(editor.record().stopBits, c.storedStopBits);
    }
}

TEST_F(PtzDataEditorTest, LongNameIsStoredAsItsFirst23Characters) {
    const PtzDataEditorDialog& made = Open(Protocol(7), 7);
    Edit("nameEdit")->setText("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(made.record().GetName(), "ABCDEFGHIJKLMNOPQRSTUVW");

    PtzProtocol record = Protocol(7);
    record.name[23] = 'Z';  // the 24th byte is carried, not written
    const PtzDataEditorDialog& read = Open(record, 7);
    Edit("nameEdit")->setText("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(std::string(read.record().name.data(), 23), "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_EQ(read.record().name[23], 'Z');
}

TEST_F(PtzDataEditorTest, NumberTakesDigitsOnly) {
    OpenNew(7);
    QLineEdit* number = Edit("numberEdit");
    number->setFocus();
    number->end(false);
    QTest::keyClicks(number, "a-Z +");
    EXPECT_EQ(number->text(), "7");
    EXPECT_EQ(service.beeps, 5);
    number->insert("-4");  // pasted text is held to digits too
    EXPECT_EQ(number->text(), "7");
    QTest::keyClicks(number, "12");
    QTest::keyClick(number, Qt::Key_Backspace);
    EXPECT_EQ(number->text(), "71");
    EXPECT_EQ(service.beeps, 5);
}

TEST_F(PtzDataEditorTest, HexFieldsTakeTwoCharactersInCapitals) {
    OpenNew(7);
    QLineEdit* field = Edit("senderOffsetEdit");
    field->clear();
    QTest::keyClicks(field, "abc");
    EXPECT_EQ(field->text(), "AB");
    field->clear();
    field->insert("1f9");
    EXPECT_EQ(field->text(), "1F");
}

// A stored Enable value the list does not offer shows no selection; looking at the
// command must not rewrite it.
TEST_F(PtzDataEditorTest, EnableValueOutsideTheListIsKept) {
    PtzProtocol record = Protocol(7);
    record.commands[0].enable = 2;
    PtzDataEditorDialog& editor = Open(record, 7);
    EXPECT_EQ(List("enableList")->currentIndex(), -1);
    ShowCommand(1);
    ShowCommand(0);
    EXPECT_EQ(List("enableList")->currentIndex(), -1);
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(editor.record(), record);
}

TEST_F(PtzDataEditorTest, CancelHandsNothingBack) {
    const PtzProtocol record = Protocol(7);
    PtzDataEditorDialog& editor = Open(record, -1);
    Edit("nameEdit")->setText("Changed");
    Edit("repeatCountEdit")->setText("05");
    Click(editor, "cancelButton");
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_TRUE(service.messages.empty());
}

}  // namespace
}  // namespace imgdl::test

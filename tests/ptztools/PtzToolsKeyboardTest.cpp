// The PTZ tools from the keyboard: Enter presses the push button that has the focus,
// and only from anywhere else the dialog's default button ("OK" in the editor, "Close"
// in the creator).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "res/StringTable.h"

namespace imgdl::test {
namespace {

std::string Text(StringId id) {
    return std::string(LoadString(id));
}

TEST(PtzDataEditorKeys, EnterPressesTheFocusedButton) {
    const struct {
        const char* focus;
        bool closes;
        int result;
        std::vector<std::string> asked;
    } cases[] = {
        {"cancelButton", true, QDialog::Rejected, {}},
        {"applyAllButton", false, 0, {Text(IDS_APPLY_ALL_COMMANDS)}},
        {"returnDefaultButton", false, 0, {Text(IDS_LOSE_MODIFIED)}},
        {"okButton", true, QDialog::Accepted, {}},
        {"nameEdit", true, QDialog::Accepted, {}},  // no push button has the focus: OK
        {"commandSetList", true, QDialog::Accepted, {}},
    };
    for (const auto& c : cases) {
        RecordingDialogService service;
        service.answers = {MessageAnswer::No};
        const PtzDatabase database;
        PtzDataEditorDialog editor(service, Protocol(7), database, 7);
        ShowActive(editor);
        Child<QWidget>(editor, c.focus)->setFocus();
        PressKey(Qt::Key_Return);
        EXPECT_EQ(!editor.isVisible(), c.closes) << c.focus;
        if (c.closes) {
            EXPECT_EQ(editor.result(), c.result) << c.focus;
        }
        EXPECT_EQ(service.texts(), c.asked) << c.focus;
    }
}

// A keyboard user who edits a protocol, tabs to Cancel and presses Enter keeps the
// database as it was.
TEST_F(PtzToolsFileTest, TabToCancelAndEnterLeavesTheDatabaseUntouched) {
    ThePtzCreatorProcessState().lastDatabasePath = WriteDatabase("db.pdb", {Protocol(4, "Four")});
    PtzImageCreatorDialog creator(service);
    const std::vector<std::uint8_t> before = creator.database().SaveToBytes();
    Select(*Child<QListWidget>(creator, "databaseList"), "[004]");
    QStringList focusTrail;
    service.modalHandlers.push_back([&](QDialog& editor) {
        ShowActive(editor);
        Child<QLineEdit>(editor, "nameEdit")->setFocus();
        PressKey(Qt::Key_A, Qt::ControlModifier);
        TypeKeys("Renamed");
        Child<QLineEdit>(editor, "dataEdit31")->setFocus();
        for (int i = 0; i < 3; ++i) {
            PressKey(Qt::Key_Tab);
            focusTrail << FocusName();
        }
        PressKey(Qt::Key_Return);
        return editor.isVisible() ? -1 : editor.result();
    });
    Click(creator, "modifyButton");
    EXPECT_EQ(focusTrail, (QStringList{"applyAllButton", "okButton", "cancelButton"}));
    EXPECT_EQ(creator.database().SaveToBytes(), before);
    EXPECT_EQ(Texts(*Child<QListWidget>(creator, "databaseList")), QStringList{"[004]Four"});
}

class PtzCreatorKeys : public PtzToolsFileTest {
  protected:
    void SetUp() override {
        PtzToolsFileTest::SetUp();
        ThePtzCreatorProcessState().lastDatabasePath =
            WriteDatabase("db.pdb", {Protocol(1), Protocol(2)});
        Reopen();
    }
    void Reopen() {
        creator_ = std::make_unique<PtzImageCreatorDialog>(service);
        ShowActive(*creator_);
    }
    QListWidget& List(const char* name) const { return *Child<QListWidget>(*creator_, name); }
    // Puts the focus on a control, as a click or Tab would, and presses Enter there.
    void EnterOn(const char* name) const {
        Child<QWidget>(*creator_, name)->setFocus();
        PressKey(Qt::Key_Return);
    }

    std::unique_ptr<PtzImageCreatorDialog> creator_;
};

TEST_F(PtzCreatorKeys, EnterPressesTheFocusedButton) {
    Select(List("databaseList"), "[001]");
    EnterOn("copyToImageButton");
    Select(List("databaseList"), "[002]");
    EnterOn("copyToImageButton");
    EXPECT_EQ(Texts(List("targetList")), (QStringList{"[001]Cam", "[002]Cam"}));
    List("targetList").setCurrentRow(1);
    EnterOn("moveUpButton");
    EXPECT_EQ(Texts(List("targetList")), (QStringList{"[002]Cam", "[001]Cam"}));
    EnterOn("moveDownButton");
    EXPECT_EQ(Texts(List("targetList")), (QStringList{"[001]Cam", "[002]Cam"}));

    EnterOn("saveImageButton");
    ASSERT_EQ(service.fileRequests.size(), 1u);
    EXPECT_TRUE(service.fileRequests[0].save);
    EXPECT_EQ(service.fileRequests[0].defaultExtension, "bin");
    AnswerEditor(service, {}, false);
    EnterOn("addButton");
    EXPECT_EQ(service.modalTitles, std::vector<std::string>{"PTZ Data Editor"});
    EXPECT_TRUE(creator_->isVisible());
}

TEST_F(PtzCreatorKeys, EnterAnywhereElsePressesClose) {
    for (const char* focus : {"targetList", "databaseList", "downloadLatestCheck", "closeButton"}) {
        Reopen();
        EnterOn(focus);
        EXPECT_FALSE(creator_->isVisible()) << focus;
        EXPECT_EQ(creator_->result(), QDialog::Accepted) << focus;
        EXPECT_TRUE(service.messages.empty()) << focus;
    }
}

}  // namespace
}  // namespace imgdl::test

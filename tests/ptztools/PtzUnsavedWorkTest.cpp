// Unsaved work in the PTZ tools: "Close" offers to save a changed database, and every
// question whose Yes throws work away keeps the work when the operator just presses
// Enter, on the recording service and on real message boxes alike.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "ptztools/PtzToolsMessages.h"
#include "res/StringTable.h"
#include "ui/QtDialogService.h"

namespace imgdl::test {
namespace {

class PtzUnsavedWorkTest : public PtzToolsFileTest {
  protected:
    void SetUp() override {
        PtzToolsFileTest::SetUp();
        database_ = WriteDatabase("db.pdb", {Protocol(1), Protocol(2)});
        ThePtzCreatorProcessState().lastDatabasePath = database_;
    }
    // The first database entry chosen with the keyboard and deleted with Space on
    // "Delete": the database has a change that is not saved.
    static void DeleteFirstEntry(PtzImageCreatorDialog& creator) {
        Child<QListWidget>(creator, "databaseList")->setFocus();
        PressKey(Qt::Key_Home);
        PressKey(Qt::Key_Space);  // selects the entry the focus is on
        TabTo("deleteButton");
        PressKey(Qt::Key_Space);
        ASSERT_EQ(creator.database().Count(), 1);
    }
    static void CopyFirstEntryToTheImage(PtzImageCreatorDialog& creator) {
        Child<QListWidget>(creator, "databaseList")->setFocus();
        PressKey(Qt::Key_Home);
        PressKey(Qt::Key_Space);  // selects the entry the focus is on
        TabTo("copyToImageButton");
        PressKey(Qt::Key_Space);
        ASSERT_EQ(Child<QListWidget>(creator, "targetList")->count(), 1);
    }
    static void PressCloseWithTheKeyboard() {
        TabTo("closeButton");
        PressKey(Qt::Key_Space);
    }
    static int ProtocolsIn(const std::string& path) {
        PtzDatabase database;
        return database.Load(path) ? database.Count() : -1;
    }

    std::string database_;
};

TEST_F(PtzUnsavedWorkTest, CloseOffersToSaveTheDatabase) {
    const std::string saved = PathOf("saved.pdb");
    struct Case {
        const char* what;
        MessageAnswer answer;
        std::optional<std::string> fileAnswer;  // the save dialog's answer
        bool closes;
    };
    const Case cases[] = {
        {"cancel", MessageAnswer::Cancel, std::nullopt, false},
        {"save", MessageAnswer::Save, saved, true},
        {"save, file dialog cancelled", MessageAnswer::Save, std::nullopt, false},
        {"discard", MessageAnswer::Discard, std::nullopt, true},
    };
    for (const Case& c : cases) {
        QFile::remove(QString::fromStdString(saved));
        ThePtzCreatorProcessState().lastDatabasePath = database_;
        service.messages.clear();
        service.fileRequests.clear();
        service.answers = {c.answer};
        service.fileAnswers = {c.fileAnswer};
        PtzImageCreatorDialog creator(service);
        ShowActive(creator);
        DeleteFirstEntry(creator);
        PressCloseWithTheKeyboard();

        ASSERT_EQ(service.messages.size(), 1u) << c.what;
        EXPECT_EQ(service.messages[0].text, kPtzSaveDatabaseText) << c.what;
        EXPECT_EQ(service.messages[0].buttons, MessageButtons::SaveDiscardCancel) << c.what;
        EXPECT_EQ(service.messages[0].defaultAnswer, MessageAnswer::Cancel) << c.what;
        EXPECT_EQ(service.fileRequests.size(), c.answer == MessageAnswer::Save ? 1u : 0u) << c.what;
        EXPECT_EQ(creator.isVisible(), !c.closes) << c.what;
        if (c.closes) {
            EXPECT_EQ(creator.result(), QDialog::Accepted) << c.what;
        }
        EXPECT_EQ(creator.database().Count(), 1) << c.what;  // the work is still there
        EXPECT_EQ(ProtocolsIn(saved), c.fileAnswer ? 1 : -1) << c.what;
    }
}

// "Close" hands on the image file, as it always did: an image changed on screen but not
// saved is no reason to ask, and a database that is saved neither.
TEST_F(PtzUnsavedWorkTest, CloseAsksNothingWithoutDatabaseChanges) {
    PtzImageCreatorDialog creator(service);
    ShowActive(creator);
    CopyFirstEntryToTheImage(creator);
    PressCloseWithTheKeyboard();
    EXPECT_TRUE(service.messages.empty());
    EXPECT_FALSE(creator.isVisible());
    EXPECT_EQ(creator.result(), QDialog::Accepted);
}

TEST_F(PtzUnsavedWorkTest, QuestionsAboutLosingWorkDefaultToKeepingIt) {
    PtzImageCreatorDialog creator(service);
    ShowActive(creator);
    DeleteFirstEntry(creator);
    PressKey(Qt::Key_Escape);  // answered with the default button: No
    ASSERT_EQ(service.messages.size(), 1u);
    EXPECT_EQ(service.messages[0].text, kPtzUnsavedChangesText);
    EXPECT_EQ(service.messages[0].defaultAnswer, MessageAnswer::No);
    EXPECT_TRUE(creator.isVisible());

    const PtzDatabase database;
    for (const char* button : {"returnDefaultButton", "applyAllButton"}) {
        service.messages.clear();
        PtzDataEditorDialog editor(service, Protocol(7), database, 7);
        ShowActive(editor);
        TabTo(button);
        PressKey(Qt::Key_Space);
        ASSERT_EQ(service.messages.size(), 1u) << button;
        EXPECT_EQ(service.messages[0].buttons, MessageButtons::YesNo) << button;
        EXPECT_EQ(service.messages[0].defaultAnswer, MessageAnswer::No) << button;
    }
}

// The same on real message boxes: Enter, pressed on the box, keeps the work.
TEST_F(PtzUnsavedWorkTest, EnterOnTheRealBoxKeepsTheWork) {
    QtDialogService real;
    for (const bool escape : {true, false}) {
        PtzImageCreatorDialog creator(real);
        ShowActive(creator);
        DeleteFirstEntry(creator);
        QString asked;
        PressEnterOnNextBox(asked);
        if (escape)
            PressKey(Qt::Key_Escape);
        else
            PressCloseWithTheKeyboard();
        EXPECT_EQ(asked.toStdString(), escape ? kPtzUnsavedChangesText : kPtzSaveDatabaseText);
        EXPECT_TRUE(creator.isVisible()) << escape;
        EXPECT_EQ(creator.database().Count(), 1) << escape;
    }

    const PtzDatabase database;
    PtzDataEditorDialog editor(real, Protocol(7, "Dome"), database, 7);
    ShowActive(editor);
    QLineEdit* name = Child<QLineEdit>(editor, "nameEdit");
    name->setFocus();
    PressKey(Qt::Key_End);
    TypeKeys("X");
    Child<QLineEdit>(editor, "repeatCountEdit")->setFocus();
    PressKey(Qt::Key_A, Qt::ControlModifier);
    TypeKeys("5");
    QString asked;
    for (const char* button : {"returnDefaultButton", "applyAllButton"}) {
        PressEnterOnNextBox(asked);
        TabTo(button);
        PressKey(Qt::Key_Space);
        ShowActive(editor);  // what a window manager does once the box has gone
    }
    EXPECT_EQ(asked.toStdString(), LoadString(IDS_APPLY_ALL_COMMANDS));
    EXPECT_EQ(name->text(), "DomeX");  // Return Default Value answered No
    Child<QListWidget>(editor, "commandSetList")->setFocus();
    PressKey(Qt::Key_Down);
    EXPECT_EQ(Child<QLineEdit>(editor, "repeatCountEdit")->text(), "00");  // not applied to all
}

}  // namespace
}  // namespace imgdl::test

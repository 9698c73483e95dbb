// The "Editing PTZ Data" entry: what the main dialog receives after "Close" and after
// Escape, the question Escape and the close box ask before unsaved work is lost, and
// what the next opening finds of the process-wide values.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "ptztools/PtzToolsMessages.h"
#include "ptztools/RunPtzImageCreator.h"

namespace imgdl::test {
namespace {

using CreatorAction = std::function<void(PtzImageCreatorDialog&)>;

class PtzCreatorCloseTest : public PtzToolsFileTest {
  protected:
    // Runs the entry function; `act` works on the creator, then it ends with "Close",
    // or with Escape when `escape` is set.
    std::optional<std::string> Run(CreatorAction act, bool escape = false) {
        service.modalHandlers.push_back([act = std::move(act), escape](QDialog& dialog) {
            auto& creator = dynamic_cast<PtzImageCreatorDialog&>(dialog);
            if (act) act(creator);
            if (escape)
                QTest::keyClick(&creator, Qt::Key_Escape);
            else
                Click(creator, "closeButton");
            return creator.result();
        });
        return RunPtzImageCreator(service, nullptr);
    }
    CreatorAction SaveImageTo(std::string path) {
        return [this, path](PtzImageCreatorDialog& creator) {
            service.fileAnswers.push_back(path);
            Click(creator, "saveImageButton");
        };
    }
    static void SetBox(PtzImageCreatorDialog& creator, bool checked) {
        Child<QCheckBox>(creator, "downloadLatestCheck")->setChecked(checked);
    }
    // The check box as the next opening shows it.
    bool NextOpeningBox() {
        bool checked = false;
        Run(
            [&](PtzImageCreatorDialog& creator) {
                checked = Child<QCheckBox>(creator, "downloadLatestCheck")->isChecked();
            },
            true);
        return checked;
    }
};

TEST_F(PtzCreatorCloseTest, CloseHandsBackTheLatestImageOnlyWithTheBoxSet) {
    const std::string image = PathOf("latest.bin");
    struct Case {
        const char* what;
        bool saveImage;
        bool box;
        std::string expected;
    };
    const Case cases[] = {
        {"saved, box set", true, true, image},
        {"nothing saved, box set", false, true, ""},
        {"saved, box cleared", true, false, ""},
    };
    for (const Case& c : cases) {
        ThePtzCreatorProcessState() = {};
        const std::optional<std::string> path = Run([&](PtzImageCreatorDialog& creator) {
            if (c.saveImage) SaveImageTo(image)(creator);
            SetBox(creator, c.box);
        });
        EXPECT_EQ(path, std::optional<std::string>(c.expected)) << c.what;
        EXPECT_EQ(ThePtzCreatorProcessState().downloadLatest, c.box) << c.what;
        EXPECT_EQ(NextOpeningBox(), c.box) << c.what;
    }
}

TEST_F(PtzCreatorCloseTest, LoadedImageIsHandedBackToo) {
    const std::string image = WriteImage("loaded.bin", {Protocol(3)});
    const std::optional<std::string> path = Run([&](PtzImageCreatorDialog& creator) {
        service.fileAnswers.push_back(image);
        Click(creator, "loadImageButton");
    });
    EXPECT_EQ(path, std::optional<std::string>(image));
}

TEST_F(PtzCreatorCloseTest, EscapeHandsBackNothingAndForgetsTheBox) {
    const std::optional<std::string> path = Run(
        [&](PtzImageCreatorDialog& creator) {
            SaveImageTo(PathOf("latest.bin"))(creator);
            SetBox(creator, false);
        },
        true);
    EXPECT_EQ(path, std::nullopt);
    EXPECT_TRUE(ThePtzCreatorProcessState().downloadLatest);
    EXPECT_TRUE(NextOpeningBox());
}

// Every change to the database or the image counts until it is saved, or replaced by
// a load; Escape then asks, and No keeps the creator open with the work in it.
TEST_F(PtzCreatorCloseTest, EscapeAsksOnlyWhileSomethingIsUnsaved) {
    const std::string database = WriteDatabase("db.pdb", {Protocol(1), Protocol(2)});
    const std::string image = WriteImage("image.bin", {Protocol(5)});
    const auto press = [](const char* button) {
        return [button](PtzImageCreatorDialog& creator) { Click(creator, button); };
    };
    const auto select = [](const char* list, const char* prefix) {
        return [list, prefix](PtzImageCreatorDialog& creator) {
            Select(*Child<QListWidget>(creator, list), QString::fromLatin1(prefix));
        };
    };
    const auto editorAnswers = [this](const char* name) {
        return [this, name](PtzImageCreatorDialog&) {
            AnswerEditor(service, [name](PtzDataEditorDialog& editor) {
                if (name) Child<QLineEdit>(editor, "nameEdit")->setText(name);
            });
        };
    };
    const auto fileAnswer = [this](std::string path) {
        return [this, path](PtzImageCreatorDialog&) { service.fileAnswers.push_back(path); };
    };
    const CreatorAction copyOneAndTwo[] = {
        select("databaseList", "[001]"), press("copyToImageButton"),
        select("databaseList", "[002]"), press("copyToImageButton"),
        fileAnswer(PathOf("saved.bin")), press("saveImageButton")};
    struct Case {
        const char* what;
        std::vector<CreatorAction> steps;
        bool asks;
    };
    const auto with = [&](std::vector<CreatorAction> steps) {
        std::vector<CreatorAction> all(std::begin(copyOneAndTwo), std::end(copyOneAndTwo));
        all.insert(all.end(), steps.begin(), steps.end());
        return all;
    };
    const Case cases[] = {
        {"nothing done", {}, false},
        {"added", {editorAnswers(nullptr), press("addButton")}, true},
        {"modified",
         {select("databaseList", "[001]"), editorAnswers("Renamed"), press("modifyButton")},
         true},
        {"modified to the same",
         {select("databaseList", "[001]"), editorAnswers(nullptr), press("modifyButton")},
         false},
        {"deleted", {select("databaseList", "[001]"), press("deleteButton")}, true},
        {"copied into the image",
         {select("databaseList", "[001]"), press("copyToImageButton")},
         true},
        {"copied, image saved", with({}), false},
        {"taken out of the image",
         with({select("targetList", "[001]"), press("takeFromImageButton")}), true},
        {"moved up", with({select("targetList", "[002]"), press("moveUpButton")}), true},
        {"moved down", with({select("targetList", "[001]"), press("moveDownButton")}), true},
        {"added, image saved", with({editorAnswers(nullptr), press("addButton")}), true},
        {"added, database saved",
         {editorAnswers(nullptr), press("addButton"), fileAnswer(PathOf("saved.pdb")),
          press("saveDatabaseButton")},
         false},
        {"added, database loaded",
         {editorAnswers(nullptr), press("addButton"), fileAnswer(database),
          press("loadDatabaseButton")},
         false},
        {"moved up, image loaded",
         with({select("targetList", "[002]"), press("moveUpButton"), fileAnswer(image),
               press("loadImageButton")}),
         false},
    };
    for (const Case& c : cases) {
        ThePtzCreatorProcessState() = {};
        ThePtzCreatorProcessState().lastDatabasePath = database;
        service.messages.clear();
        PtzImageCreatorDialog creator(service);
        ShowActive(creator);
        for (const CreatorAction& step : c.steps) step(creator);
        ASSERT_TRUE(service.messages.empty()) << c.what;
        service.answers = {MessageAnswer::No};
        QTest::keyClick(&creator, Qt::Key_Escape);
        if (!c.asks) {
            EXPECT_TRUE(service.messages.empty()) << c.what;
            EXPECT_FALSE(creator.isVisible()) << c.what;
            continue;
        }
        ASSERT_EQ(service.messages.size(), 1u) << c.what;
        EXPECT_EQ(service.messages[0].text, kPtzUnsavedChangesText) << c.what;
        EXPECT_EQ(service.messages[0].buttons, MessageButtons::YesNo) << c.what;
        EXPECT_TRUE(creator.isVisible()) << c.what;  // No: the work stays
        service.answers = {MessageAnswer::Yes};
        QTest::keyClick(&creator, Qt::Key_Escape);
        EXPECT_FALSE(creator.isVisible()) << c.what;
        EXPECT_EQ(creator.result(), QDialog::Rejected) << c.what;
    }
}

TEST_F(PtzCreatorCloseTest, TheCloseBoxAsksTheSameQuestion) {
    PtzImageCreatorDialog creator(service);
    ShowActive(creator);
    AnswerEditor(service);
    Click(creator, "addButton");
    service.answers = {MessageAnswer::No, MessageAnswer::Yes};
    EXPECT_FALSE(creator.close());
    EXPECT_TRUE(creator.isVisible());
    EXPECT_TRUE(creator.close());
    EXPECT_EQ(creator.result(), QDialog::Rejected);
    EXPECT_EQ(service.texts(), std::vector<std::string>(2, std::string(kPtzUnsavedChangesText)));
}

// Leaving unsaved work behind with Escape and Yes hands the main dialog nothing.
TEST_F(PtzCreatorCloseTest, EscapeAnsweredYesHandsBackNothing) {
    service.answers = {MessageAnswer::Yes};
    const std::optional<std::string> path = Run(
        [&](PtzImageCreatorDialog& creator) {
            SaveImageTo(PathOf("latest.bin"))(creator);
            AnswerEditor(service);
            Click(creator, "addButton");
        },
        true);
    EXPECT_EQ(path, std::nullopt);
    EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(kPtzUnsavedChangesText)});
}

TEST_F(PtzCreatorCloseTest, NextOpeningReloadsTheLastDatabase) {
    const auto addProtocol = [this](PtzImageCreatorDialog& creator) {
        AnswerEditor(service);
        Click(creator, "addButton");
    };
    const auto entries = [this] {
        QStringList texts;
        Run([&](PtzImageCreatorDialog& creator) {
            texts = Texts(*Child<QListWidget>(creator, "databaseList"));
        });
        return texts;
    };
    // "Close" offers to save the database each time; discarded, the work is gone.
    service.answers = {MessageAnswer::Discard, MessageAnswer::Discard};
    // Without a database file the added protocol is gone at the next opening.
    Run(addProtocol);
    EXPECT_EQ(entries(), QStringList{});

    // Saved, it comes back; what was added after the save does not.
    const std::string database = WriteDatabase("db.pdb", {Protocol(3)});
    Run([&](PtzImageCreatorDialog& creator) {
        service.fileAnswers.push_back(database);
        Click(creator, "loadDatabaseButton");
        addProtocol(creator);
        service.fileAnswers.push_back(PathOf("saved.pdb"));
        Click(creator, "saveDatabaseButton");
        addProtocol(creator);
    });
    EXPECT_EQ(ThePtzCreatorProcessState().lastDatabasePath, PathOf("saved.pdb"));
    EXPECT_EQ(entries(), (QStringList{"[003]Cam", "[004]New PTZ Protocol(4)"}));
    EXPECT_EQ(service.texts(), std::vector<std::string>(2, std::string(kPtzSaveDatabaseText)));
}

// A last database that has gone missing since is named to the operator at opening.
TEST_F(PtzCreatorCloseTest, OpeningTellsWhenTheLastDatabaseCannotBeRead) {
    ThePtzCreatorProcessState().lastDatabasePath = PathOf("gone.pdb");
    PtzImageCreatorDialog creator(service);
    ASSERT_EQ(service.messages.size(), 1u);
    EXPECT_NE(service.messages[0].text.find(PathOf("gone.pdb")), std::string::npos);
    EXPECT_EQ(Child<QListWidget>(creator, "databaseList")->count(), 0);
}

}  // namespace
}  // namespace imgdl::test

// The "Editing PTZ Data" entry: what the main dialog receives after "Close" and after
// Escape, and what the next opening finds of the process-wide values.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzImageCreatorDialog.h"
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
    EXPECT_TRUE(service.messages.empty());
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

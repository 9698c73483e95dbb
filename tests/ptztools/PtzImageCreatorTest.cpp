// The PTZ image creator's buttons: Add, Delete, Modify, ">>", "<<", Move up/down and
// the file buttons, with the database list and the target list kept in step with the
// working database and the target image.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "ptztools/PtzToolsMessages.h"
#include "res/StringTable.h"

namespace imgdl::test {
namespace {

class PtzImageCreatorTest : public PtzToolsFileTest {
  protected:
    // Opens the creator on a database file holding `protocols`.
    PtzImageCreatorDialog& Open(const std::vector<PtzProtocol>& protocols = {}) {
        if (!protocols.empty())
            ThePtzCreatorProcessState().lastDatabasePath = WriteDatabase("start.pdb", protocols);
        creator_ = std::make_unique<PtzImageCreatorDialog>(service);
        return *creator_;
    }
    QListWidget& Database() const { return *Child<QListWidget>(*creator_, "databaseList"); }
    QListWidget& Target() const { return *Child<QListWidget>(*creator_, "targetList"); }
    void Press(const char* button) const { Click(*creator_, button); }
    // Selects the database entry of `number` and presses ">>".
    void CopyToImage(std::int32_t number) const {
        Select(Database(), QStringLiteral("[%1]").arg(number, 3, 10, QLatin1Char('0')));
        Press("copyToImageButton");
    }
    std::vector<std::int32_t> ImageNumbers() const {
        std::vector<std::int32_t> numbers;
        PtzProtocol slot;
        for (int s = 0; s < kPtzImageSlotCount && creator_->image().GetSlot(s, slot); ++s)
            if (slot.number != -1) numbers.push_back(slot.number);
        return numbers;
    }
    PtzProtocol Held(std::int32_t number) const {
        PtzProtocol protocol;
        EXPECT_EQ(creator_->database().Get(creator_->database().FindIndex(number), protocol), 1);
        return protocol;
    }

    std::unique_ptr<PtzImageCreatorDialog> creator_;
};

TEST_F(PtzImageCreatorTest, FirstOpeningHasTheBoxSetAndBothListsEmpty) {
    PtzImageCreatorDialog& creator = Open();
    EXPECT_EQ(creator.windowTitle(), "PTZ Data Image Creator");
    EXPECT_TRUE(Child<QCheckBox>(creator, "downloadLatestCheck")->isChecked());
    EXPECT_EQ(Database().count(), 0);
    EXPECT_EQ(Target().count(), 0);
    EXPECT_TRUE(service.messages.empty());
}

TEST_F(PtzImageCreatorTest, AddProposesTheNextNumberAndSelectsTheNewEntry) {
    struct Case {
        std::vector<std::int32_t> held;
        const char* number;
        const char* name;
    };
    const Case cases[] = {
        {{}, "0", "New PTZ Protocol(0)"},
        {{3, 41}, "42", "New PTZ Protocol(42)"},
        {{-5}, "0", "New PTZ Protocol(0)"},  // a file's negative numbers propose no negative
    };
    for (const Case& c : cases) {
        std::vector<PtzProtocol> protocols;
        for (const std::int32_t n : c.held) protocols.push_back(Protocol(n));
        ThePtzCreatorProcessState() = {};
        Open(protocols);
        QString shownNumber, shownName;
        AnswerEditor(service, [&](PtzDataEditorDialog& editor) {
            shownNumber = Child<QLineEdit>(editor, "numberEdit")->text();
            shownName = Child<QLineEdit>(editor, "nameEdit")->text();
        });
        Press("addButton");
        EXPECT_EQ(shownNumber, c.number);
        EXPECT_EQ(shownName, c.name);
        const QString text = QStringLiteral("[%1]%2")
                                 .arg(shownNumber.toInt(), 3, 10, QLatin1Char('0'))
                                 .arg(shownName);
        EXPECT_EQ(SelectedText(Database()), text);
        EXPECT_EQ(Database().count(), static_cast<int>(c.held.size()) + 1);
        EXPECT_EQ(creator_->database().Count(), Database().count());
    }
}

TEST_F(PtzImageCreatorTest, AddAnsweredWithCancelChangesNothingAndClearsTheSelection) {
    Open({Protocol(3), Protocol(41)});
    Select(Database(), "[003]");
    AnswerEditor(service, {}, false);
    Press("addButton");
    EXPECT_EQ(creator_->database().Count(), 2);
    EXPECT_EQ(Database().count(), 2);
    EXPECT_TRUE(Database().selectedItems().isEmpty());
}

TEST_F(PtzImageCreatorTest, AddedNumberThatTheOperatorTypedIsSelected) {
    Open({Protocol(3)});
    AnswerEditor(service, [](PtzDataEditorDialog& editor) {
        Child<QLineEdit>(editor, "numberEdit")->setText("1");
        Child<QLineEdit>(editor, "nameEdit")->setText("Typed");
    });
    Press("addButton");
    EXPECT_EQ(Texts(Database()), (QStringList{"[001]Typed", "[003]Cam"}));
    EXPECT_EQ(SelectedText(Database()), "[001]Typed");
    EXPECT_EQ(Held(1).GetName(), "Typed");
}

// Every handler finds the protocol behind an entry by the number the entry carries,
// however many digits it has and whatever the name holds.
TEST_F(PtzImageCreatorTest, EntriesAreSortedAndFindTheirProtocols) {
    Open({Protocol(123, "a]b"), Protocol(7, "Dome"), Protocol(5120, "Big"), Protocol(12, "x")});
    EXPECT_EQ(Texts(Database()), (QStringList{"[007]Dome", "[012]x", "[123]a]b", "[5120]Big"}));
    for (const std::int32_t number : {5120, 123, 7}) CopyToImage(number);
    EXPECT_EQ(ImageNumbers(), (std::vector<std::int32_t>{5120, 123, 7}));
    EXPECT_EQ(Texts(Target()), (QStringList{"[5120]Big", "[123]a]b", "[007]Dome"}));
    for (const std::int32_t number : {5120, 123, 7})
        EXPECT_EQ(creator_->database().FindIndex(number) >= 0, true);
}

TEST_F(PtzImageCreatorTest, CopyToImageAddsAProtocolOnceAndNothingToAFullImage) {
    std::vector<PtzProtocol> protocols;
    for (std::int32_t n = 0; n < 37; ++n) protocols.push_back(Protocol(n));
    Open(protocols);
    CopyToImage(4);
    CopyToImage(4);
    EXPECT_EQ(ImageNumbers(), std::vector<std::int32_t>{4});
    EXPECT_EQ(Texts(Target()), QStringList{"[004]Cam"});
    EXPECT_EQ(SelectedText(Database()), "[004]Cam");  // the selection stays

    for (std::int32_t n = 0; n < 37; ++n)
        if (n != 4) CopyToImage(n);
    EXPECT_EQ(Target().count(), kPtzImageSlotCount);
    EXPECT_EQ(ImageNumbers().size(), 36u);
    EXPECT_EQ(creator_->image().ContainsNumber(36), 0);
    EXPECT_TRUE(service.messages.empty());
}

TEST_F(PtzImageCreatorTest, DeletedProtocolStaysInTheImageAndComesBackWithTakeFromImage) {
    Open({Protocol(1, "One"), Protocol(2, "Two")});
    CopyToImage(1);
    Select(Database(), "[001]");
    Press("deleteButton");
    EXPECT_EQ(Texts(Database()), QStringList{"[002]Two"});
    EXPECT_TRUE(Database().selectedItems().isEmpty());
    EXPECT_EQ(creator_->database().Contains(1), 0);
    EXPECT_EQ(ImageNumbers(), std::vector<std::int32_t>{1});

    Target().setCurrentRow(0);
    Press("takeFromImageButton");
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(Texts(Database()), (QStringList{"[001]One", "[002]Two"}));
    EXPECT_EQ(Held(1), Protocol(1, "One"));
    EXPECT_EQ(Target().count(), 0);
    EXPECT_TRUE(ImageNumbers().empty());
}

TEST_F(PtzImageCreatorTest, TakeFromImageComparesEveryByteWithTheDatabase) {
    struct Case {
        const char* what;
        int differingOffset;  // -1: the copies are equal
        MessageAnswer answer;
        bool databaseTakesCopy;
    };
    const Case cases[] = {
        {"equal", -1, MessageAnswer::Yes, false},
        {"reserved byte, Yes", 31, MessageAnswer::Yes, true},
        {"byte after the name, No", 4 + 20, MessageAnswer::No, false},
        {"last data byte, Yes", 1795, MessageAnswer::Yes, true},
    };
    for (const Case& c : cases) {
        ThePtzCreatorProcessState() = {};
        service.messages.clear();
        service.answers = {c.answer};
        const PtzProtocol held = Protocol(5, "Dome");
        std::array<std::uint8_t, PtzProtocol::kSize> bytes;
        held.ToBytes(bytes);
        if (c.differingOffset >= 0) bytes[static_cast<std::size_t>(c.differingOffset)] ^= 0x40;
        const PtzProtocol copy = PtzProtocol::FromBytes(bytes);
        const std::string image = WriteImage("take.bin", {Protocol(1), copy, Protocol(9)});
        Open({held, Protocol(1)});
        service.fileAnswers = {image};
        Press("loadImageButton");
        ASSERT_EQ(Target().count(), 3) << c.what;

        Target().setCurrentRow(1);
        Press("takeFromImageButton");
        const bool asked = c.differingOffset >= 0;
        EXPECT_EQ(service.texts(),
                  asked ? std::vector<std::string>{std::string(LoadString(IDS_DIFFERENT_CONTENTS))}
                        : std::vector<std::string>{})
            << c.what;
        if (asked) {
            EXPECT_EQ(service.messages[0].buttons, MessageButtons::YesNo);
        }
        EXPECT_EQ(Held(5), c.databaseTakesCopy ? copy : held) << c.what;
        EXPECT_EQ(creator_->database().Count(), 2);
        EXPECT_EQ(Texts(Target()), (QStringList{"[001]Cam", "[009]Cam"})) << c.what;
        EXPECT_EQ(ImageNumbers(), (std::vector<std::int32_t>{1, 9}));
        EXPECT_TRUE(Target().selectedItems().isEmpty());
    }
}

TEST_F(PtzImageCreatorTest, TakeFromImageAnsweredYesRefreshesTheEntryAtOnce) {
    PtzProtocol copy = Protocol(5, "Renamed");
    const std::string image = WriteImage("take.bin", {copy});
    Open({Protocol(5, "Dome")});
    service.fileAnswers = {image};
    Press("loadImageButton");
    Target().setCurrentRow(0);
    Press("takeFromImageButton");
    EXPECT_EQ(Texts(Database()), QStringList{"[005]Renamed"});
}

TEST_F(PtzImageCreatorTest, MoveUpAndDownKeepListAndImageInStep) {
    struct Case {
        const char* button;
        int selected;
        std::vector<std::int32_t> order;
        int selectedAfter;
    };
    const Case cases[] = {
        {"moveUpButton", 0, {1, 2, 3}, 0},   {"moveUpButton", 2, {1, 3, 2}, 1},
        {"moveDownButton", 2, {1, 2, 3}, 2}, {"moveDownButton", 0, {2, 1, 3}, 1},
        {"moveUpButton", -1, {1, 2, 3}, -1}, {"moveDownButton", -1, {1, 2, 3}, -1},
    };
    for (const Case& c : cases) {
        ThePtzCreatorProcessState() = {};
        Open({Protocol(1), Protocol(2), Protocol(3)});
        for (const std::int32_t n : {1, 2, 3}) CopyToImage(n);
        if (c.selected >= 0) Target().setCurrentRow(c.selected);
        Press(c.button);
        EXPECT_EQ(ImageNumbers(), c.order) << c.button << " " << c.selected;
        QStringList texts;
        for (const std::int32_t n : c.order)
            texts << QStringLiteral("[%1]Cam").arg(n, 3, 10, QLatin1Char('0'));
        EXPECT_EQ(Texts(Target()), texts);
        const QString selected = c.selectedAfter < 0 ? QString() : texts[c.selectedAfter];
        EXPECT_EQ(SelectedText(Target()), selected) << c.button << " " << c.selected;
    }
}

// An entry keeps naming its protocol when it moves and when the image is reloaded:
// "<<" compares the slot with the protocol the entry shows, so it finds an equal copy
// in the database and asks nothing. Looking up any other number would ask whether to
// replace it, or add a second protocol.
TEST_F(PtzImageCreatorTest, TargetEntriesKeepTheirProtocolThroughMovesAndReloads) {
    Open({Protocol(1, "One"), Protocol(2, "Two"), Protocol(3, "Three")});
    const QStringList database{"[001]One", "[002]Two", "[003]Three"};
    for (const std::int32_t n : {1, 2, 3}) CopyToImage(n);
    Target().setCurrentRow(2);
    Press("moveUpButton");
    Press("moveUpButton");
    ASSERT_EQ(Texts(Target()), (QStringList{"[003]Three", "[001]One", "[002]Two"}));
    Target().setCurrentRow(0);
    Press("takeFromImageButton");
    EXPECT_EQ(Texts(Target()), (QStringList{"[001]One", "[002]Two"}));

    service.fileAnswers = {PathOf("moved.bin")};
    Press("saveImageButton");
    service.fileAnswers = {PathOf("moved.bin")};
    Press("loadImageButton");
    Target().setCurrentRow(1);
    Press("takeFromImageButton");
    EXPECT_EQ(Texts(Target()), QStringList{"[001]One"});
    EXPECT_EQ(ImageNumbers(), std::vector<std::int32_t>{1});
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(Texts(Database()), database);
    EXPECT_EQ(creator_->database().Count(), 3);
}

TEST_F(PtzImageCreatorTest, ModifyReplacesTheProtocolAndRefreshesItsEntry) {
    Open({Protocol(4, "Four"), Protocol(8, "Eight")});
    CopyToImage(8);
    Select(Database(), "[008]");
    bool numberEnabled = true;
    AnswerEditor(service, [&](PtzDataEditorDialog& editor) {
        numberEnabled = Child<QLineEdit>(editor, "numberEdit")->isEnabled();
        Child<QLineEdit>(editor, "nameEdit")->setText("Renamed");
    });
    Press("modifyButton");
    EXPECT_FALSE(numberEnabled);
    EXPECT_EQ(Texts(Database()), (QStringList{"[004]Four", "[008]Renamed"}));
    EXPECT_EQ(Held(8).GetName(), "Renamed");
    EXPECT_EQ(creator_->database().FindIndex(8), 1);  // replaced in place
    PtzProtocol inImage;
    ASSERT_EQ(creator_->image().GetSlot(0, inImage), 1);
    EXPECT_EQ(inImage.GetName(), "Eight");  // the image holds its own copy
}

TEST_F(PtzImageCreatorTest, ModifyAnsweredWithCancelLeavesTheDatabaseUntouched) {
    Open({Protocol(4, "Four"), Protocol(8, "Eight")});
    const std::vector<std::uint8_t> before = creator_->database().SaveToBytes();
    Select(Database(), "[004]");
    AnswerEditor(
        service,
        [](PtzDataEditorDialog& editor) {
            Child<QLineEdit>(editor, "nameEdit")->setText("Renamed");
            Child<QLineEdit>(editor, "repeatCountEdit")->setText("05");
            Child<QListWidget>(editor, "commandSetList")->setCurrentRow(3);
            Child<QLineEdit>(editor, "dataEdit0")->setText("FF");
        },
        false);
    Press("modifyButton");
    EXPECT_EQ(creator_->database().SaveToBytes(), before);
    EXPECT_EQ(Texts(Database()), (QStringList{"[004]Four", "[008]Eight"}));
}

TEST_F(PtzImageCreatorTest, ButtonsWithoutASelectionDoNothing) {
    Open({Protocol(1)});
    for (const char* button : {"deleteButton", "modifyButton", "copyToImageButton",
                               "takeFromImageButton", "moveUpButton", "moveDownButton"})
        Press(button);
    EXPECT_TRUE(service.modalTitles.empty());
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(creator_->database().Count(), 1);
    EXPECT_EQ(Target().count(), 0);
}

// A negative number can only come from a file; its entry names no number that a
// lookup could find, so every operation by number refuses it and says so.
TEST_F(PtzImageCreatorTest, NegativeNumbersAreShownButRefused) {
    const std::string image = WriteImage("neg.bin", {Protocol(-7, "ImgNeg")});
    Open({Protocol(-5, "Neg"), Protocol(2)});
    EXPECT_EQ(Texts(Database()), (QStringList{"[-05]Neg", "[002]Cam"}));
    for (const char* button : {"modifyButton", "copyToImageButton", "deleteButton"}) {
        service.messages.clear();
        Select(Database(), "[-05]");
        Press(button);
        EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(kPtzNegativeNumberText)})
            << button;
    }
    EXPECT_TRUE(service.modalTitles.empty());
    EXPECT_EQ(creator_->database().Count(), 2);
    EXPECT_EQ(Database().count(), 2);
    EXPECT_EQ(Target().count(), 0);

    service.fileAnswers = {image};
    Press("loadImageButton");
    ASSERT_EQ(Texts(Target()), QStringList{"[-07]ImgNeg"});
    service.messages.clear();
    Target().setCurrentRow(0);
    Press("takeFromImageButton");
    EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(kPtzNegativeNumberText)});
    EXPECT_EQ(Target().count(), 1);
    EXPECT_EQ(creator_->database().Count(), 2);
}

TEST_F(PtzImageCreatorTest, LoadImageListsOnlyTheEntriesBeforeTheFirstEmptySlot) {
    PtzProtocol empty;
    empty.number = -1;
    const std::string image =
        WriteImage("gap.bin", {Protocol(1), Protocol(2), Protocol(3), empty, Protocol(5)});
    Open({Protocol(5, "Five")});
    service.fileAnswers = {image};
    Press("loadImageButton");
    EXPECT_EQ(Texts(Target()), (QStringList{"[001]Cam", "[002]Cam", "[003]Cam"}));

    // What the list does not show must not linger in the image: the protocol 5 behind
    // the gap neither blocks ">>" of 5 nor reappears after the next entry.
    CopyToImage(5);
    EXPECT_EQ(Target().count(), 4);
    service.fileAnswers = {PathOf("out.bin")};
    Press("saveImageButton");
    service.fileAnswers = {PathOf("out.bin")};
    Press("loadImageButton");
    EXPECT_EQ(Texts(Target()), (QStringList{"[001]Cam", "[002]Cam", "[003]Cam", "[005]Five"}));
}

// After an image is saved, both image buttons start at it (so in its folder).
TEST_F(PtzImageCreatorTest, ImageFileDialogsStartAtTheLatestImage) {
    Open({Protocol(1)});
    CopyToImage(1);
    service.fileAnswers = {PathOf("out.bin")};
    Press("saveImageButton");
    for (const char* button : {"loadImageButton", "saveImageButton"}) {
        service.fileRequests.clear();
        Press(button);  // cancelled
        ASSERT_EQ(service.fileRequests.size(), 1u) << button;
        EXPECT_EQ(service.fileRequests[0].initialName, PathOf("out.bin")) << button;
    }
}

TEST_F(PtzImageCreatorTest, FileButtonsAskWithTheirFiltersAndExtensions) {
    struct Case {
        const char* button;
        bool save;
        const char* extension;
        const char* filter;
        bool startsAtTheDatabase;  // else at no file: no image has been loaded or saved
    };
    const Case cases[] = {
        {"loadDatabaseButton", false, "pdb", "PTZ DB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||",
         true},
        {"saveDatabaseButton", true, "pdb", "PTZ DB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||",
         true},
        {"loadImageButton", false, "bin", "PTZ-Image Files (*.bin)|*.bin|All Files (*.*)|*.*||",
         false},
        {"saveImageButton", true, "bin", "PTZ-Image Files (*.bin)|*.bin|All Files (*.*)|*.*||",
         false},
    };
    Open({Protocol(1)});
    for (const Case& c : cases) {
        service.fileRequests.clear();
        Press(c.button);  // cancelled: nothing happens
        ASSERT_EQ(service.fileRequests.size(), 1u) << c.button;
        const FileDialogRequest& request = service.fileRequests[0];
        EXPECT_EQ(request.save, c.save) << c.button;
        EXPECT_EQ(request.promptOverwrite, c.save) << c.button;
        EXPECT_EQ(request.defaultExtension, c.extension);
        EXPECT_EQ(request.filter, c.filter);
        // Opens in the folder of the database it came from.
        EXPECT_EQ(request.initialName, c.startsAtTheDatabase ? PathOf("start.pdb") : "");
    }
    EXPECT_EQ(Database().count(), 1);
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(ThePtzCreatorProcessState().lastDatabasePath, PathOf("start.pdb"));
}

TEST_F(PtzImageCreatorTest, SavedDatabaseLoadsBackInTheSameOrder) {
    Open({Protocol(9), Protocol(2), Protocol(5)});
    service.fileAnswers = {PathOf("saved.pdb")};
    Press("saveDatabaseButton");
    EXPECT_EQ(ThePtzCreatorProcessState().lastDatabasePath, PathOf("saved.pdb"));
    Select(Database(), "[002]");
    Press("deleteButton");
    service.fileAnswers = {PathOf("saved.pdb")};
    Press("loadDatabaseButton");
    EXPECT_EQ(Texts(Database()), (QStringList{"[002]Cam", "[005]Cam", "[009]Cam"}));
    EXPECT_EQ(creator_->database().FindIndex(9), 0);
    EXPECT_EQ(creator_->database().FindIndex(5), 2);
    EXPECT_TRUE(service.messages.empty());
}

// A file that cannot be read or written is named to the operator; the working data
// and the remembered paths stay as they were.
TEST_F(PtzImageCreatorTest, FailedFileOperationsSayWhichFileAndChangeNothing) {
    const std::string bad = PathOf("bad.pdb");
    {
        const std::vector<std::uint8_t> header = {0x50, 0x44, 1, 0, 4, 7, 0, 0, 2, 0, 0, 0};
        std::FILE* file = std::fopen(bad.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(header.data(), 1, header.size(), file);  // announces 2, holds none
        std::fclose(file);
    }
    const std::string missing = PathOf("no/such/folder/x.bin");
    Open({Protocol(1), Protocol(2)});
    const std::string start = ThePtzCreatorProcessState().lastDatabasePath;

    service.fileAnswers = {bad};
    Press("loadDatabaseButton");
    EXPECT_EQ(service.texts(), std::vector<std::string>{PtzLoadFailedText(kPtzDatabaseKind, bad)});
    EXPECT_EQ(creator_->database().Count(), 2);
    EXPECT_EQ(Database().count(), 2);

    service.fileAnswers = {missing};
    Press("saveDatabaseButton");
    service.fileAnswers = {PathOf("short.bin")};
    {
        std::FILE* file = std::fopen(PathOf("short.bin").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("short", file);
        std::fclose(file);
    }
    CopyToImage(1);
    Press("loadImageButton");
    service.fileAnswers = {missing};
    Press("saveImageButton");
    EXPECT_EQ(service.texts(),
              (std::vector<std::string>{PtzLoadFailedText(kPtzDatabaseKind, bad),
                                        PtzSaveFailedText(kPtzDatabaseKind, missing),
                                        PtzLoadFailedText(kPtzImageKind, PathOf("short.bin")),
                                        PtzSaveFailedText(kPtzImageKind, missing)}));
    EXPECT_EQ(ThePtzCreatorProcessState().lastDatabasePath, start);
    EXPECT_EQ(ImageNumbers(), std::vector<std::int32_t>{1});
    EXPECT_EQ(Texts(Target()), QStringList{"[001]Cam"});
    EXPECT_EQ(creator_->latestImagePath(), "");
}

}  // namespace
}  // namespace imgdl::test

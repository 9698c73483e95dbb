// What the PTZ data editor's fields let a person type: hex digits only in the hex
// fields, only characters a name can be stored in, with its length and the reason of a
// refusal in sight, and number fields whose value typing replaces.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzDataEditorDialog.h"

namespace imgdl::test {
namespace {

class PtzEditorInputTest : public ::testing::Test {
  protected:
    PtzDataEditorDialog& Open(const PtzProtocol& record, std::int32_t editedNumber = -1) {
        editor_.reset();
        service.beeps = 0;
        editor_ = std::make_unique<PtzDataEditorDialog>(service, record, database, editedNumber);
        ShowActive(*editor_);
        return *editor_;
    }
    QLineEdit& Edit(const char* name) const { return *Child<QLineEdit>(*editor_, name); }
    QLabel& Label(const char* name) const { return *Child<QLabel>(*editor_, name); }
    // Enter outside any push button is OK.
    const PtzProtocol& PressEnterForOk() const {
        PressKey(Qt::Key_Return);
        EXPECT_EQ(editor_->result(), QDialog::Accepted);
        return editor_->record();
    }

    RecordingDialogService service;
    PtzDatabase database;

  private:
    std::unique_ptr<PtzDataEditorDialog> editor_;
};

// Types each character as its own key press carrying that text, as a keyboard or an
// input method delivers it (QTest::keyClicks only carries Latin-1).
void TypeText(const QString& text) {
    for (const char32_t c : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown,
                            QString::fromUcs4(&c, 1), Qt::NoModifier);
}

TEST_F(PtzEditorInputTest, HexFieldsTakeHexDigitsOnly) {
    struct Case {
        const char* typed;
        const char* shown;
        std::uint8_t stored;
    };
    const Case cases[] = {
        {"ZZ", "22", 0x22},  // refused: the value stays, it does not become 00
        {"7f", "7F", 0x7F},  {"g1", "1", 0x01}, {"1-2", "12", 0x12},
        {"abc", "AB", 0xAB}, {"", "22", 0x22},
    };
    PtzProtocol record = Protocol(7);
    record.commands[0].repeatCount = 0x22;
    for (const Case& c : cases) {
        Open(record, 7);
        TabTo("repeatCountEdit");  // the value is selected: typing replaces it
        TypeKeys(c.typed);
        EXPECT_EQ(Edit("repeatCountEdit").text(), c.shown) << c.typed;
        EXPECT_EQ(PressEnterForOk().commands[0].repeatCount, c.stored) << c.typed;
    }
}

TEST_F(PtzEditorInputTest, NameTakesWhatANameCanHoldAndSaysWhy) {
    const QString latin1Hint = QStringLiteral("Latin-1");
    const QString lengthHint = QStringLiteral("at most 23");
    struct Case {
        const char* what;
        QString typed;
        QString shown;
        QString length;
        QString hint;  // empty: none shown
        std::string stored;
    };
    const Case cases[] = {
        {"another script", QStringLiteral("日本"), "Dome", "4/23", latin1Hint, "Dome"},
        {"an emoji", QStringLiteral("\U0001F600"), "Dome", "4/23", latin1Hint, "Dome"},
        {"Latin-1 letters", QStringLiteral("Café ß"), QStringLiteral("DomeCafé ß"), "10/23", "",
         "DomeCaf\xE9 \xDF"},
        {"refused, then typed on", QStringLiteral("日-1"), "Dome-1", "6/23", "", "Dome-1"},
        {"too long", QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), "DomeABCDEFGHIJKLMNOPQRS",
         "23/23", lengthHint, "DomeABCDEFGHIJKLMNOPQRS"},
    };
    for (const Case& c : cases) {
        const PtzDataEditorDialog& editor = Open(Protocol(7, "Dome"), 7);
        EXPECT_EQ(Label("nameLengthLabel").text(), "4/23") << c.what;
        TabTo("nameEdit");
        PressKey(Qt::Key_End);
        TypeText(c.typed);
        EXPECT_EQ(Edit("nameEdit").text(), c.shown) << c.what;
        EXPECT_EQ(Label("nameLengthLabel").text(), c.length) << c.what;
        QLabel& hint = Label("nameHintLabel");
        EXPECT_EQ(hint.isVisible(), !c.hint.isEmpty()) << c.what;
        if (!c.hint.isEmpty()) {
            EXPECT_TRUE(hint.text().contains(c.hint))
                << c.what << ": " << hint.text().toStdString();
            // Shown whole, where the name is.
            EXPECT_GE(hint.width(), hint.fontMetrics().horizontalAdvance(hint.text()))
                << c.what << " " << hint.width() << "x" << hint.height();
            EXPECT_FALSE(hint.visibleRegion().isEmpty()) << c.what;
        }
        EXPECT_EQ(PressEnterForOk().GetName(), c.stored) << c.what;
        EXPECT_EQ(editor.record().GetName(), c.stored) << c.what;
    }
}

TEST_F(PtzEditorInputTest, PastedTextIsHeldToTheSameRules) {
    struct Case {
        const char* field;
        QString pasted;
        QString shown;
    };
    const Case cases[] = {
        {"repeatCountEdit", "ZZ", "22"},
        {"repeatCountEdit", "1f", "1F"},
        {"nameEdit", QStringLiteral("日本"), "Dome"},
        {"nameEdit", "Pelco-D", "Pelco-D"},
    };
    PtzProtocol record = Protocol(7, "Dome");
    record.commands[0].repeatCount = 0x22;
    for (const Case& c : cases) {
        Open(record, 7);
        QApplication::clipboard()->setText(c.pasted);
        TabTo(c.field);
        PressKey(Qt::Key_A, Qt::ControlModifier);
        PressKey(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Edit(c.field).text(), c.shown) << c.field << " " << c.pasted.toStdString();
    }
}

// A name read from a file is shown byte for byte as Latin-1, stays as it was through OK
// and can be typed on.
TEST_F(PtzEditorInputTest, NamesFromFilesKeepTheirBytes) {
    PtzProtocol record = Protocol(7);
    record.SetName("\x81\xE9\x7F");
    Open(record, 7);
    EXPECT_EQ(PressEnterForOk(), record);

    Open(record, 7);
    TabTo("nameEdit");
    PressKey(Qt::Key_End);
    TypeKeys("x");
    EXPECT_EQ(PressEnterForOk().GetName(), "\x81\xE9\x7Fx");
}

TEST_F(PtzEditorInputTest, NumberFieldsAreReplacedByWhatIsTyped) {
    enum class Focus { Opening, Tab, Click, Program, CtrlA };
    struct Case {
        const char* field;
        Focus focus;
    };
    const Case cases[] = {
        {"numberEdit", Focus::Opening},  // a new protocol's editor opens on it
        {"numberEdit", Focus::Tab},       {"numberEdit", Focus::Click},
        {"numberEdit", Focus::Program},   {"numberEdit", Focus::CtrlA},
        {"baudRateEdit", Focus::Tab},     {"baudRateEdit", Focus::Click},
        {"baudRateEdit", Focus::Program}, {"baudRateEdit", Focus::CtrlA},
    };
    PtzProtocol record = PtzProtocol::MakeNew(2);
    record.baudRate = 2;
    for (const Case& c : cases) {
        const auto how = static_cast<int>(c.focus);
        Open(record);
        QLineEdit& field = Edit(c.field);
        if (c.focus != Focus::Opening) TabTo("nameEdit");  // the focus comes from elsewhere
        switch (c.focus) {
            case Focus::Opening:
                break;
            case Focus::Tab:
                TabTo(c.field);
                break;
            case Focus::Click:
                QTest::mouseClick(&field, Qt::LeftButton);
                break;
            case Focus::Program:
                field.setFocus(Qt::OtherFocusReason);
                break;
            case Focus::CtrlA:
                QTest::mouseClick(&field, Qt::LeftButton);
                PressKey(Qt::Key_End);  // the cursor after the value, nothing selected
                PressKey(Qt::Key_A, Qt::ControlModifier);
                break;
        }
        ASSERT_EQ(QApplication::focusWidget(), &field) << c.field << " " << how;
        TypeKeys("2");
        EXPECT_EQ(field.text(), "2") << c.field << " " << how;
        EXPECT_EQ(service.beeps, 0) << c.field << " " << how;
        const PtzProtocol& stored = PressEnterForOk();
        EXPECT_EQ(stored.number, 2) << c.field << " " << how;
        EXPECT_EQ(stored.baudRate, 2) << c.field << " " << how;
    }
}

}  // namespace
}  // namespace imgdl::test

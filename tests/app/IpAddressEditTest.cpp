#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <string>
#include <variant>
#include <vector>

#include "AppTestSupport.h"
#include "app/IpAddressEdit.h"

namespace imgdl {
namespace {

TEST(IpAddressEdit, ShowsTheDottedAddressOfItsFourFields) {
    const struct {
        const char* set;
        const char* text;
    } cases[] = {
        {"192.168.0.1", "192.168.0.1"},
        {"255.255.255.255", "255.255.255.255"},
        {"010.0.0.7", "10.0.0.7"},
        {"1.2.3", "1.2.3."},      // a missing part leaves its field blank
        {"300.1.1.1", ".1.1.1"},  // so does a part out of range
        {"a.1.-1.1", ".1..1"},
        {"", "..."},
    };
    for (const auto& c : cases) {
        IpAddressEdit ip;
        ip.setText(QString::fromLatin1(c.set));
        EXPECT_EQ(ip.text(), QString::fromLatin1(c.text)) << c.set;
        EXPECT_LE(ip.text().size(), 15);
    }
}

// A key press as a person makes it: a run of typed characters, or one named key.
using Step = std::variant<const char*, Qt::Key>;

class IpAddressTyping : public testing::Test {
  protected:
    void SetUp() override {
        ip.show();
        ip.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&ip));
        ip.field(0)->setFocus();
    }
    // Each key goes where the focus is at that moment, as typing does.
    void type(const char* keys) {
        for (const char* k = keys; *k; ++k) QTest::keyClick(QApplication::focusWidget(), *k);
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    void play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            if (const auto* keys = std::get_if<const char*>(&step))
                type(*keys);
            else
                press(std::get<Qt::Key>(step));
        }
    }
    // The field with the focus and the cursor position in it.
    std::pair<int, int> caret() const {
        for (int i = 0; i < IpAddressEdit::kFieldCount; ++i)
            if (QApplication::focusWidget() == ip.field(i))
                return {i, ip.field(i)->cursorPosition()};
        return {-1, -1};
    }

    IpAddressEdit ip;
};

// Each case starts with the fields showing `start` and the first one selected, as the
// main dialog opens, and the keys typed from there.
TEST_F(IpAddressTyping, TypedDottedTextGivesThatAddress) {
    const struct {
        const char* start;
        std::vector<Step> keys;
        const char* text;
    } cases[] = {
        {"192.168.0.1", {"127.0.0.1"}, "127.0.0.1"},
        {"192.168.0.1", {"192.168.10.200"}, "192.168.10.200"},
        {"192.168.0.1", {"10.0.0.7"}, "10.0.0.7"},
        {"192.168.0.1", {"1.2"}, "1.2.0.1"},  // the fields not typed into keep their value
        // The dot right after a move on belongs to the field just filled; a second one
        // moves on from the field entered.
        {"192.168.0.1", {"100..5"}, "100.168.5.1"},
        {"", {"255.255.255.255"}, "255.255.255.255"},
        {"", {"192168.0.1"}, "192.168.0.1"},  // three digits move on by themselves
        {"", {".."}, "..."},                  // a dot in an empty field does nothing
        {"", {"1..2"}, "1.2.."},
        {"", {"1.2.3.4.5"}, "1.2.3.45"},  // no fifth field
        {"", {"999"}, "255..."},          // a field holds 0 to 255
        {"", {"256.1"}, "255.1.."},
        {"", {"1a-2 3"}, "12.3.."},           // letters and signs are refused, a blank moves on
        {"", {"01.02.003.010"}, "1.2.3.10"},  // leading zeros are dropped
        {"", {"000.00.0.00"}, "0.0.0.0"},
        {"", {"10.20", Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace}, "1..."},
        {"", {"1.2.3", Qt::Key_Home, "9"}, "91.2.3."},
        {"", {"1.2", Qt::Key_Home, Qt::Key_End, "5"}, "1.2..5"},
        {"", {"12.3", Qt::Key_Left, Qt::Key_Left, "4"}, "124.3.."},
        {"",
         {"12", Qt::Key_Left, Qt::Key_Left, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, "7"},
         "12.7.."},
    };
    for (const auto& c : cases) {
        ip.setText(QString::fromLatin1(c.start));
        ip.field(0)->setFocus();
        ip.field(0)->selectAll();
        play(c.keys);
        EXPECT_EQ(ip.text(), QString::fromLatin1(c.text)) << "ends as " << c.text;
    }
}

TEST_F(IpAddressTyping, BackspaceAtTheStartOfAFieldDeletesTheEndOfThePreviousOne) {
    type("10.20");
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    EXPECT_EQ(caret(), std::make_pair(1, 0));
    press(Qt::Key_Backspace);  // at the start of the second field: back into the first
    EXPECT_EQ(caret(), std::make_pair(0, 1));
    EXPECT_EQ(ip.text(), "1...");
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);  // nothing before the first field
    EXPECT_EQ(ip.text(), "...");
    EXPECT_EQ(caret(), std::make_pair(0, 0));
}

TEST_F(IpAddressTyping, ArrowsHomeAndEndMoveAcrossTheFields) {
    ip.setText("10.20.30.40");
    ip.field(1)->setFocus();
    ip.field(1)->setCursorPosition(0);
    const struct {
        Qt::Key key;
        std::pair<int, int> caret;
    } steps[] = {
        {Qt::Key_Left, {0, 2}},  // start of a field: to the end of the previous one
        {Qt::Key_Left, {0, 1}},  {Qt::Key_Right, {0, 2}},
        {Qt::Key_Right, {1, 0}},  // end of a field: to the start of the next one
        {Qt::Key_End, {3, 2}},   {Qt::Key_Right, {3, 2}},  // nothing after the last field
        {Qt::Key_Home, {0, 0}},  {Qt::Key_Left, {0, 0}},
    };
    for (const auto& s : steps) {
        press(s.key);
        EXPECT_EQ(caret(), s.caret) << "after key " << s.key;
    }
    EXPECT_EQ(ip.text(), "10.20.30.40");
}

TEST_F(IpAddressTyping, PastesAWholeAddress) {
    QApplication::clipboard()->setText(" 10.1.2.3 ");
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ip.text(), "10.1.2.3");
    QApplication::clipboard()->setText("10.1.2.999");
    ip.field(0)->setFocus();
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ip.text(), "10.1.2.3");
    QApplication::clipboard()->setText("192.168.010.007\n");
    ip.field(2)->setFocus();
    press(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(ip.text(), "192.168.10.7");
}

}  // namespace
}  // namespace imgdl

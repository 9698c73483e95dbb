#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

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

    IpAddressEdit ip;
};

TEST_F(IpAddressTyping, MovesOnAfterThreeDigitsOrADot) {
    type("192168.0.1");
    EXPECT_EQ(ip.text(), "192.168.0.1");
    EXPECT_EQ(QApplication::focusWidget(), ip.field(3));
}

TEST_F(IpAddressTyping, KeepsEachFieldWithin0To255AndDigitsOnly) {
    type("999a-12");
    EXPECT_EQ(ip.text(), "255.12..");
    type(".1.2.3.4.5");  // no fifth field, and no fourth digit
    EXPECT_EQ(ip.text(), "255.12.1.234");
}

TEST_F(IpAddressTyping, BackspaceAndArrowsCrossIntoTheNextField) {
    type("10.20");
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    EXPECT_EQ(QApplication::focusWidget(), ip.field(1));
    press(Qt::Key_Backspace);  // at the start of the second field: back into the first
    EXPECT_EQ(QApplication::focusWidget(), ip.field(0));
    press(Qt::Key_Backspace);
    EXPECT_EQ(ip.text(), "1...");
    press(Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), ip.field(1));
    press(Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), ip.field(0));
}

TEST_F(IpAddressTyping, PastesAWholeAddress) {
    QApplication::clipboard()->setText(" 10.1.2.3 ");
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ip.text(), "10.1.2.3");
    QApplication::clipboard()->setText("10.1.2.999");
    ip.field(0)->setFocus();
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ip.text(), "10.1.2.3");
}

}  // namespace
}  // namespace imgdl

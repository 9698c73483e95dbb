#include <QKeyEvent>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include "AppTestSupport.h"
#include "app/IpAddressEdit.h"
#include "common/UniqueFd.h"
#include "flows/DownloadFlows.h"
#include "res/StringTable.h"

namespace imgdl::test {
namespace {

class DialogKeyboard : public DialogTest {
  protected:
    void SetUp() override { showActive(); }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
};

TEST_F(DialogKeyboard, EnterRunsTheDownloadFromAnyField) {
    for (const char* name : {"portNumber", "imagePath"}) {
        flows->calls.clear();
        edit(name)->setFocus();
        press(Qt::Key_Return);
        EXPECT_EQ(flows->calls, std::vector<std::string>{"application"}) << name;
    }
    child<IpAddressEdit>("targetIpControl")->field(2)->setFocus();
    flows->calls.clear();
    press(Qt::Key_Enter);
    EXPECT_EQ(flows->calls, std::vector<std::string>{"application"});
    EXPECT_TRUE(dialog.isVisible());
}

// A listening socket on 127.0.0.1 that tells whether anyone connected.
struct Listener {
    Listener() : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd.get(), 4);
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    bool connected() {
        pollfd p{fd.get(), POLLIN, 0};
        return ::poll(&p, 1, 200) == 1;
    }
    UniqueFd fd;
    std::uint16_t port = 0;
};

// A port number past 65535 (or 0) is a wrong number, not its low 16 bits: the real flows
// run, and the recorder whose port is those low bits is never reached.
TEST_F(DialogKeyboard, APortOutOfRangeIsAWrongNumberAndConnectsNowhere) {
    Listener listener;
    dialog.setDownloadFlows(std::make_unique<DownloadFlows>(dialog.sessionRunner()));
    for (const std::string& typed : {std::to_string(listener.port + 65536), std::string("0")}) {
        SCOPED_TRACE(typed);
        service.messages.clear();
        // Never the factory address: the real flows would connect to it.
        child<IpAddressEdit>("targetIpControl")->setText(QStringLiteral("127.0.0.1"));
        edit("portNumber")->setFocus();
        edit("portNumber")->selectAll();
        QTest::keyClicks(edit("portNumber"), QString::fromStdString(typed));
        press(Qt::Key_Return);
        EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(LoadString(IDS_WRONG_NUMBER))});
        EXPECT_FALSE(listener.connected());
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(DialogKeyboard, TabAndShiftTabLeaveTheFocusWhereItWas) {
    QWidget* ipField = child<IpAddressEdit>("targetIpControl")->field(1);
    for (QWidget* start : {static_cast<QWidget*>(edit("portNumber")), ipField,
                           static_cast<QWidget*>(button("applicationImageRadio")),
                           static_cast<QWidget*>(button("downloadButton"))}) {
        start->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), start);
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), start) << start->objectName().toStdString();
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), start) << start->objectName().toStdString();
    }
}

TEST_F(DialogKeyboard, EscCloses) {
    edit("portNumber")->setFocus();
    press(Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(flows->calls.empty());
}

TEST_F(DialogKeyboard, AltAOpensTheAboutBox) {
    service.modalHandlers.push_back([](QDialog&) { return int(QDialog::Accepted); });
    press(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(service.modalTitles, std::vector<std::string>{"Quorvel Information"});
    EXPECT_TRUE(dialog.isVisible());
}

// At start the first part of the address is selected, so that an address typed at once
// replaces the default; Enter then hands the flows exactly what was typed, in plain
// decimal (a part with a leading zero would be read as octal).
TEST(DialogStart, AnAddressTypedAtOnceIsTheOneHandedOn) {
    const struct {
        const char* typed;
        const char* handed;
    } cases[] = {
        {"10.0.0.7", "10.0.0.7"},
        {"192.168.10.200", "192.168.10.200"},
        {"127.0.0.1", "127.0.0.1"},
        {"010.001.000.07", "10.1.0.7"},
    };
    for (const auto& c : cases) {
        DialogTest t;
        t.showActive();
        auto* ip = t.child<IpAddressEdit>("targetIpControl");
        EXPECT_EQ(QApplication::focusWidget(), ip->field(0)) << c.typed;
        EXPECT_EQ(ip->field(0)->selectedText(), "192") << c.typed;
        for (const char* k = c.typed; *k; ++k) QTest::keyClick(QApplication::focusWidget(), *k);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(t.flows->calls, std::vector<std::string>{"application"}) << c.typed;
        EXPECT_EQ(t.dialog.fields().targetIpControl, c.handed);
        ASSERT_TRUE(t.dialog.downloadRequest());
        ASSERT_TRUE(t.dialog.downloadRequest()->target) << c.typed;
        EXPECT_EQ(t.dialog.downloadRequest()->target->hostText(), c.handed);
    }
}

}  // namespace
}  // namespace imgdl::test

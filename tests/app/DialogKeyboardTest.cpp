#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <QKeyEvent>

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
        EXPECT_EQ(service.texts(),
                  std::vector<std::string>{std::string(LoadString(IDS_WRONG_NUMBER))});
        EXPECT_FALSE(listener.connected());
        EXPECT_TRUE(dialog.isVisible());
    }
}

// The README's workflow: "..." with Enter, choose the file, Enter again downloads it
// rather than opening the file dialog a second time.
TEST_F(DialogKeyboard, EnterAfterChoosingAFileDownloadsIt) {
    Listener listener;
    // Never the factory address: the download goes to the listener.
    child<IpAddressEdit>("targetIpControl")->setText(QStringLiteral("127.0.0.1"));
    edit("portNumber")->setFocus();
    edit("portNumber")->selectAll();
    QTest::keyClicks(edit("portNumber"), QString::number(listener.port));
    service.fileAnswers.push_back("/srv/images/app.bin");
    button("browseButton")->setFocus();
    press(Qt::Key_Return);
    ASSERT_EQ(service.fileRequests.size(), 1u);
    EXPECT_EQ(edit("imagePath")->text(), "/srv/images/app.bin");
    press(Qt::Key_Return);
    EXPECT_EQ(service.fileRequests.size(), 1u);
    ASSERT_EQ(flows->calls, std::vector<std::string>{"application"});
    ASSERT_EQ(flows->requests.size(), 1u);
    ASSERT_TRUE(flows->requests.front().target);
    EXPECT_EQ(flows->requests.front().target->text(), "127.0.0.1:" + std::to_string(listener.port));
    EXPECT_EQ(flows->requests.front().imagePath, "/srv/images/app.bin");
}

// The file dialog starts at the path in the field (so in its folder); a cancelled choice
// leaves the focus on "..." and the path as it was.
TEST_F(DialogKeyboard, TheFileDialogStartsAtTheCurrentPath) {
    const struct {
        const char* typed;
        std::optional<std::string> answer;
        const char* focusAfter;
    } cases[] = {
        {"/srv/images/app.bin", std::nullopt, "browseButton"},
        {"/home/tech/ptz/cams.bin", "/home/tech/ptz/other.bin", "downloadButton"},
        {"", "/tmp/a.bin", "downloadButton"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        service.fileRequests.clear();
        edit("imagePath")->setFocus();
        edit("imagePath")->selectAll();
        QTest::keyClick(edit("imagePath"), Qt::Key_Delete);
        QTest::keyClicks(edit("imagePath"), QString::fromLatin1(c.typed));
        service.fileAnswers.push_back(c.answer);
        button("browseButton")->setFocus();
        press(Qt::Key_Space);
        ASSERT_EQ(service.fileRequests.size(), 1u);
        EXPECT_EQ(service.fileRequests.front().initialName, c.typed);
        EXPECT_EQ(edit("imagePath")->text().toStdString(), c.answer.value_or(c.typed));
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), c.focusAfter);
    }
    EXPECT_TRUE(flows->calls.empty());
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

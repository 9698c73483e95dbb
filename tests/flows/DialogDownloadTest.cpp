// The whole road through the real main dialog: the operator types the simulator's
// address and port, chooses an image, presses Enter, and the recorder receives it.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "FlowTestSupport.h"
#include "app/DownloaderDialog.h"
#include "app/IpAddressEdit.h"
#include "support/HelperProcess.h"
#include "support/RecordingDialogService.h"

namespace imgdl::test {
namespace {

TEST_F(FlowTest, EnterInTheMainDialogSendsTheImage) {
    testimage::ApplicationOptions options;
    options.appSize = 300 * 1024;
    const auto bytes = testimage::BuildApplicationImage(options);
    const auto path = write("app.bin", bytes);

    checkDescriptors = false;  // showing windows makes Qt open descriptors of its own
    RecordingDialogService service;
    DownloaderDialog dialog(service);
    dialog.setSessionTimeouts(QuickTimeouts());
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // Never the dialog's default recorder: the loopback simulator only.
    dialog.findChild<IpAddressEdit*>("targetIpControl")->setText("127.0.0.1");
    auto* port = dialog.findChild<QLineEdit*>("portNumber");
    port->setText(QString::number(recorder.port()));
    dialog.findChild<QLineEdit*>("imagePath")->setText(QString::fromStdString(path));
    port->setFocus();
    QTest::keyClick(port, Qt::Key_Return);

    const auto s = sessionsAfter(2);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].command, CMD_FIRMWARE_VERSION);
    EXPECT_EQ(s[1].command, CMD_APPLICATION_IMAGE);
    EXPECT_EQ(s[1].payload, bytes);
    EXPECT_EQ(service.modalTitles, (std::vector<std::string>{"Download", "Download"}));
    EXPECT_TRUE(service.messages.empty());
}

TEST_F(FlowTest, TheDialogRefusesARecorderAnotherProcessIsDownloadingTo) {
    const auto path = write("app.bin", testimage::BuildApplicationImage({}));
    sim::RecorderBehaviour slow;
    slow.writeDelay = std::chrono::milliseconds(1500);
    recorder.setBehaviour(slow);
    const std::string address = "127.0.0.1:" + std::to_string(recorder.port());
    HelperProcess holder({IMGDL_PROGRAM, "send", "app", path, "--target", address});
    ASSERT_TRUE(holder.started());
    // The holder's version check is done: it holds the recorder until its image is.
    ASSERT_TRUE(recorder.waitForSessions(1, std::chrono::seconds(10)));

    checkDescriptors = false;  // showing windows makes Qt open descriptors of its own
    RecordingDialogService service;
    DownloaderDialog dialog(service);
    dialog.setSessionTimeouts(QuickTimeouts());
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.findChild<IpAddressEdit*>("targetIpControl")->setText("127.0.0.1");
    auto* port = dialog.findChild<QLineEdit*>("portNumber");
    port->setText(QString::number(recorder.port()));
    dialog.findChild<QLineEdit*>("imagePath")->setText(QString::fromStdString(path));
    port->setFocus();
    QTest::keyClick(port, Qt::Key_Return);

    EXPECT_EQ(service.texts(), (std::vector<std::string>{"The recorder " + address +
                                                         " is in use by imgdl (process " +
                                                         std::to_string(holder.pid()) + ")."}));
    EXPECT_TRUE(service.modalTitles.empty()) << "no session window: nothing was sent";
    EXPECT_EQ(holder.wait(), 0);
    const auto s = sessionsAfter(2);
    ASSERT_EQ(s.size(), 2u) << "the holder's version check and image alone";
    EXPECT_EQ(s[1].command, CMD_APPLICATION_IMAGE);
}

}  // namespace
}  // namespace imgdl::test

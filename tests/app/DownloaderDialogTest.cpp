#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <optional>

#include "AppTestSupport.h"
#include "app/IpAddressEdit.h"
#include "res/StringTable.h"

namespace imgdl::test {
namespace {

using Dialog = DialogTest;

TEST_F(Dialog, StartsWithTheDefaultsAndOnlyTwoTypesToChoose) {
    EXPECT_EQ(dialog.windowTitle(), "Image Downloader");
    const struct {
        const char* name;
        bool enabled;
        std::optional<bool> checked;  // for buttons
        const char* text;             // for labels, edits and buttons; null: not looked at
    } cases[] = {
        {"titleText", true, {}, "DVR Image Downloader V3.5"},
        {"targetIpLabel", true, {}, "Target IP"},
        {"targetPortLabel", true, {}, "Target Port"},
        {"portNumber", true, {}, "5000"},
        {"integratedImageRadio", false, false, "Download Integrated Image"},
        {"individualDataRadio", false, false, "Download Individual Data"},
        {"applicationImageRadio", true, true, "Download Only Application Image"},
        {"ptzImageRadio", true, false, "Download PTZ Image"},
        {"editPtzDataButton", false, false, "Editing PTZ Data"},
        {"imagePathLabel", true, {}, "Image Path"},
        {"imagePath", true, {}, ""},
        {"browseButton", true, false, "..."},
        {"macCheckBox", false, true, "Download MAC Address"},
        {"macPrefixLabel", true, {}, "0x"},
        {"macText", false, {}, ""},
        {"serialCheckBox", false, true, "Download S/N"},
        {"serialNumber", false, {}, "0"},
        {"autoIncreaseCheckBox", false, false, "Auto Increase"},
        {"downloadButton", true, false, "Download\n(Enter key)"},
        {"exitButton", true, false, "Exit (ESC key)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* w = child(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->isEnabledTo(&dialog), c.enabled);
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            text = b->text();
            if (c.checked) {
                EXPECT_EQ(b->isChecked(), *c.checked);
            }
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            text = e->text();
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            text = l->text();
        }
        EXPECT_EQ(text, QString::fromLatin1(c.text));
    }
    EXPECT_EQ(child<IpAddressEdit>("targetIpControl")->text(), "192.168.0.1");
    EXPECT_EQ(child<QGroupBox>("downloadTypeGroup")->title(), "Select Download Type");
    EXPECT_TRUE(child<QPushButton>("downloadButton")->isDefault());
    EXPECT_EQ(edit("macText")->maxLength(), 12);
    EXPECT_EQ(QFontInfo(dialog.font()).pointSize(), 12);
    const QString family = QFontInfo(dialog.font()).family();
    EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
    EXPECT_FALSE(dialog.windowIcon().pixmap(32, 32).isNull());

    ASSERT_TRUE(dialog.readFields());
    const DownloaderFields& f = dialog.fields();
    EXPECT_EQ(f.downloadType, DOWNLOAD_APPLICATION_IMAGE);
    EXPECT_EQ(f.targetIpControl, "192.168.0.1");
    EXPECT_EQ(f.portNumber, 5000u);
    EXPECT_EQ(f.serialNumber, 0u);
    EXPECT_TRUE(f.macCheckBox && f.serialCheckBox);
    EXPECT_FALSE(f.autoIncreaseCheckBox || f.autoIncreaseEnabled);
}

// Where each control sits: top to bottom in the form's order, labels to the left, the
// right-hand buttons to the right, and the group box around exactly its controls.
TEST_F(Dialog, KeepsTheControlsInTheirOrderAndGroup) {
    dialog.show();
    auto rect = [&](const char* name) {
        QWidget* w = child(name);
        return QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size());
    };
    const char* column[] = {"titleText",
                            "targetIpControl",
                            "portNumber",
                            "integratedImageRadio",
                            "individualDataRadio",
                            "applicationImageRadio",
                            "ptzImageRadio",
                            "imagePath",
                            "macText",
                            "serialNumber",
                            "downloadButton"};
    for (std::size_t i = 1; i < std::size(column); ++i)
        EXPECT_LE(rect(column[i - 1]).bottom(), rect(column[i]).top()) << column[i];
    const struct {
        const char* left;
        const char* right;
    } rows[] = {
        {"targetIpLabel", "targetIpControl"},   {"targetPortLabel", "portNumber"},
        {"ptzImageRadio", "editPtzDataButton"}, {"imagePathLabel", "imagePath"},
        {"imagePath", "browseButton"},          {"macCheckBox", "macPrefixLabel"},
        {"macPrefixLabel", "macText"},          {"macText", "autoIncreaseCheckBox"},
        {"serialCheckBox", "serialNumber"},     {"downloadButton", "exitButton"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.left) + " | " + r.right);
        EXPECT_LE(rect(r.left).right(), rect(r.right).left());
        EXPECT_NEAR(rect(r.left).center().y(), rect(r.right).center().y(),
                    rect(r.right).height() / 2);
    }
    auto* group = child<QGroupBox>("downloadTypeGroup");
    for (const char* inside :
         {"integratedImageRadio", "individualDataRadio", "applicationImageRadio", "ptzImageRadio",
          "editPtzDataButton", "imagePathLabel", "imagePath", "browseButton", "macCheckBox",
          "macPrefixLabel", "macText", "serialCheckBox", "serialNumber", "autoIncreaseCheckBox"})
        EXPECT_TRUE(group->isAncestorOf(child(inside))) << inside;
    for (const char* outside :
         {"titleText", "targetIpControl", "portNumber", "downloadButton", "exitButton"})
        EXPECT_FALSE(group->isAncestorOf(child(outside))) << outside;
}

TEST(DialogTypes, EachRadioButtonSetsItsEnabledStates) {
    const char* identity[] = {"macCheckBox", "macText", "autoIncreaseCheckBox", "serialCheckBox",
                              "serialNumber"};
    const struct {
        const char* radio;
        bool imagePath;
        bool identity;
        bool editPtz;
        bool boxesChecked;  // both identity boxes were unchecked before the click
    } cases[] = {
        {"integratedImageRadio", true, true, false, true},
        {"individualDataRadio", false, true, false, true},
        {"applicationImageRadio", true, false, false, false},
        {"ptzImageRadio", true, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        RecordingDialogService service;
        DownloaderDialog dialog(service);
        auto find = [&](const char* name) {
            return dialog.findChild<QWidget*>(QString::fromLatin1(name));
        };
        auto* mac = dialog.findChild<QCheckBox*>("macCheckBox");
        auto* serial = dialog.findChild<QCheckBox*>("serialCheckBox");
        mac->setChecked(false);
        serial->setChecked(false);
        auto* radio = dialog.findChild<QRadioButton*>(QString::fromLatin1(c.radio));
        radio->setEnabled(true);
        radio->click();
        EXPECT_EQ(find("imagePath")->isEnabled(), c.imagePath);
        for (const char* name : identity) EXPECT_EQ(find(name)->isEnabled(), c.identity) << name;
        EXPECT_EQ(find("editPtzDataButton")->isEnabled(), c.editPtz);
        EXPECT_TRUE(find("browseButton")->isEnabled());
        EXPECT_EQ(mac->isChecked(), c.boxesChecked);
        EXPECT_EQ(serial->isChecked(), c.boxesChecked);
    }
}

TEST_F(Dialog, LeavingThePtzTypeDisablesEditingPtzData) {
    button("ptzImageRadio")->click();
    EXPECT_TRUE(button("editPtzDataButton")->isEnabled());
    button("applicationImageRadio")->click();
    EXPECT_FALSE(button("editPtzDataButton")->isEnabled());
}

TEST_F(Dialog, IdentityBoxesEnableTheirFields) {
    chooseType("individualDataRadio");
    button("macCheckBox")->click();
    EXPECT_FALSE(edit("macText")->isEnabled());
    EXPECT_FALSE(button("autoIncreaseCheckBox")->isEnabled());
    EXPECT_TRUE(edit("serialNumber")->isEnabled());
    button("macCheckBox")->click();
    EXPECT_TRUE(edit("macText")->isEnabled());
    EXPECT_TRUE(button("autoIncreaseCheckBox")->isEnabled());

    button("serialCheckBox")->click();
    EXPECT_FALSE(edit("serialNumber")->isEnabled());
    EXPECT_TRUE(edit("macText")->isEnabled());
    button("serialCheckBox")->click();
    EXPECT_TRUE(edit("serialNumber")->isEnabled());
}

TEST(DialogDownload, RunsTheFlowOfTheTypeAndIdentityBoxes) {
    const struct {
        const char* radio;
        bool mac;
        bool serial;
        std::vector<std::string> calls;
    } cases[] = {
        {"applicationImageRadio", true, true, {"application"}},
        {"ptzImageRadio", true, true, {"ptz"}},
        {"integratedImageRadio", false, false, {"integrated"}},
        {"individualDataRadio", true, true, {"mac+serial"}},
        {"individualDataRadio", true, false, {"mac"}},
        {"individualDataRadio", false, true, {"serial"}},
        {"individualDataRadio", false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.radio) + (c.mac ? " mac" : "") + (c.serial ? " serial" : ""));
        DialogTest t;
        t.chooseType(c.radio);
        if (!c.mac) t.button("macCheckBox")->click();
        if (!c.serial) t.button("serialCheckBox")->click();
        t.button("downloadButton")->click();
        EXPECT_EQ(t.flows->calls, c.calls);
        EXPECT_TRUE(t.service.messages.empty());
    }
}

TEST_F(Dialog, DownloadWithAWrongNumberStartsNothing) {
    edit("portNumber")->setText("50a0");
    button("downloadButton")->click();
    EXPECT_EQ(service.texts(),
              (std::vector<std::string>{std::string(kPositiveIntegerPrompt),
                                        std::string(LoadString(IDS_WRONG_NUMBER))}));
    EXPECT_TRUE(flows->calls.empty());
}

TEST_F(Dialog, TheFlowsGetWhatTheOperatorTyped) {
    chooseType("individualDataRadio");
    edit("portNumber")->setText(" 5001");
    edit("macText")->setText("0012ab3456cd");
    edit("serialNumber")->setText("77 ");
    button("autoIncreaseCheckBox")->click();
    button("downloadButton")->click();
    ASSERT_EQ(flows->requests.size(), 1u);
    const DownloadRequest& r = flows->requests[0];
    EXPECT_EQ(r.kind, DownloadKind::Identity);
    // Read only; the recording flows connect nowhere.
    EXPECT_EQ(TargetText(r.target), "192.168.0.1:5001");
    EXPECT_TRUE(r.writeMac);
    EXPECT_EQ(r.macText, "0012ab3456cd");
    EXPECT_TRUE(r.writeSerial);
    EXPECT_EQ(r.serial, 77u);
    EXPECT_TRUE(r.autoIncrease);
}

TEST_F(Dialog, TheOutcomeShowsARefusalOrTheNextMac) {
    chooseType("individualDataRadio");
    edit("macText")->setText("0012AB3456CD");
    flows->answer = FlowOutcome::Refuse(IDS_INVALID_MAC);
    button("downloadButton")->click();
    EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(LoadString(IDS_INVALID_MAC))});
    EXPECT_EQ(edit("macText")->text(), "0012AB3456CD");

    service.messages.clear();
    flows->answer = FlowOutcome::Session({});
    flows->answer.nextMac = "0012AB3456CE";
    button("downloadButton")->click();
    EXPECT_TRUE(service.messages.empty());
    EXPECT_EQ(edit("macText")->text(), "0012AB3456CE");
}

TEST_F(Dialog, DownloadWithoutFlowsDoesNothing) {
    dialog.setDownloadFlows(nullptr);
    button("downloadButton")->click();
    EXPECT_TRUE(service.messages.empty());
}

TEST_F(Dialog, BrowsingSetsThePathOnlyWhenAFileIsChosen) {
    edit("imagePath")->setText("/images/old.bin");
    button("browseButton")->click();  // cancelled
    EXPECT_EQ(edit("imagePath")->text(), "/images/old.bin");
    EXPECT_EQ(dialog.fields().imagePath, "/images/old.bin");
    ASSERT_EQ(service.fileRequests.size(), 1u);
    const FileDialogRequest& request = service.fileRequests[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.filter, "All files (*.*)|");
    EXPECT_EQ(request.defaultExtension, "*");
    EXPECT_EQ(request.initialName, "/images/old.bin");  // opens in its folder
    EXPECT_TRUE(request.promptOverwrite);

    service.fileAnswers.push_back("/images/new.bin");
    button("browseButton")->click();
    EXPECT_EQ(edit("imagePath")->text(), "/images/new.bin");
    EXPECT_EQ(dialog.fields().imagePath, "/images/new.bin");
    EXPECT_TRUE(service.messages.empty());
}

// The number that failed and everything after it show their last good values again;
// what came before it keeps what the operator typed.
TEST_F(Dialog, BrowsingAfterAWrongPortRestoresThePort) {
    edit("macText")->setText("0012AB3456CD");
    edit("portNumber")->setText("-1");
    button("ptzImageRadio")->click();
    button("browseButton")->click();  // cancelled
    EXPECT_EQ(service.texts(), std::vector<std::string>{std::string(kPositiveIntegerPrompt)});
    EXPECT_EQ(edit("portNumber")->text(), "5000");
    EXPECT_TRUE(button("applicationImageRadio")->isChecked());
    EXPECT_EQ(edit("macText")->text(), "0012AB3456CD");
}

TEST_F(Dialog, WriteFieldsShowsEveryField) {
    DownloaderFields& f = dialog.fields();
    f.autoIncreaseCheckBox = true;
    f.targetIpControl = "10.0.0.7";
    f.macCheckBox = false;
    f.macText = "0012AB3456CDEF";  // longer than the edit takes
    f.imagePath = "/images/ptz.bin";
    f.portNumber = 4294967295u;
    f.downloadType = DOWNLOAD_PTZ_IMAGE;
    f.serialNumber = 123456;
    dialog.writeFields();
    EXPECT_TRUE(button("autoIncreaseCheckBox")->isChecked());
    EXPECT_EQ(child<IpAddressEdit>("targetIpControl")->text(), "10.0.0.7");
    EXPECT_FALSE(button("macCheckBox")->isChecked());
    EXPECT_EQ(edit("macText")->text(), "0012AB3456CD");
    EXPECT_EQ(edit("imagePath")->text(), "/images/ptz.bin");
    EXPECT_EQ(edit("portNumber")->text(), "4294967295");
    EXPECT_TRUE(button("ptzImageRadio")->isChecked());
    EXPECT_EQ(edit("serialNumber")->text(), "123456");

    f.downloadType = -1;  // no type: no radio button checked, and read back as such
    dialog.writeFields();
    ASSERT_TRUE(dialog.readFields());
    EXPECT_EQ(f.downloadType, -1);
}

}  // namespace
}  // namespace imgdl::test

namespace imgdl::test {
namespace {

// "Editing PTZ Data": after "Close" the creator's latest image path replaces the image
// path (even an empty one); after Escape nothing changes.
TEST(EditPtzData, TakesTheLatestImageOnlyAfterClose) {
    const struct {
        int result;
        const char* path;
    } cases[] = {{QDialog::Accepted, ""}, {QDialog::Rejected, "/images/old.bin"}};
    for (const auto& c : cases) {
        DialogTest t;
        t.chooseType("ptzImageRadio");
        t.edit("imagePath")->setText("/images/old.bin");
        t.service.modalHandlers.push_back([&](QDialog&) { return c.result; });
        t.button("editPtzDataButton")->click();
        EXPECT_EQ(t.service.modalTitles, std::vector<std::string>{"PTZ Data Image Creator"});
        EXPECT_EQ(t.edit("imagePath")->text().toStdString(), c.path) << c.result;
        EXPECT_EQ(t.dialog.fields().imagePath, c.path) << c.result;
    }
}

}  // namespace
}  // namespace imgdl::test

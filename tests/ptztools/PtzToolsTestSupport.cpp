#include "PtzToolsTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

#include "ptztools/PtzCreatorProcessState.h"

namespace imgdl::test {

QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
    return texts;
}

QString SelectedText(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->text();
}

void Select(QListWidget& list, const QString& prefix) {
    for (int row = 0; row < list.count(); ++row) {
        if (list.item(row)->text().startsWith(prefix)) {
            list.setCurrentRow(row);
            return;
        }
    }
    ADD_FAILURE() << "no entry " << prefix.toStdString();
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

void TypeKeys(const char* keys) {
    for (const char* k = keys; *k; ++k) QTest::keyClick(QApplication::focusWidget(), *k);
}

QString FocusName() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

void TabTo(const char* name) {
    for (int i = 0; i < 80 && FocusName() != QLatin1String(name); ++i) PressKey(Qt::Key_Tab);
    EXPECT_EQ(FocusName(), QLatin1String(name));
}

void PressEnterOnNextBox(QString& text) {
    // Looks every few milliseconds, as the box comes up inside whatever opens it; gives
    // up after a few seconds so that it cannot answer a later test's box.
    auto* timer = new QTimer(qApp);
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QObject::connect(timer, &QTimer::timeout, [timer, deadline, &text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        const bool up = box && box->isAncestorOf(QApplication::focusWidget());
        if (!up && !deadline->hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        if (!up) {
            ADD_FAILURE() << "no message box came up";
            return;
        }
        text = box->text();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    timer->start(10);
}

PtzProtocol Protocol(std::int32_t number, const std::string& name) {
    PtzProtocol protocol = PtzProtocol::MakeNew(number);
    protocol.SetName(name);
    protocol.baudRate = 1200 + number;
    protocol.commands[3].data[5] = static_cast<std::uint8_t>(number);
    return protocol;
}

void AnswerEditor(RecordingDialogService& service, std::function<void(PtzDataEditorDialog&)> edit,
                  bool ok) {
    service.modalHandlers.push_back([edit = std::move(edit), ok](QDialog& dialog) {
        auto& editor = dynamic_cast<PtzDataEditorDialog&>(dialog);
        if (edit) edit(editor);
        Click(editor, ok ? "okButton" : "cancelButton");
        return editor.result();
    });
}

void PtzToolsFileTest::SetUp() {
    ThePtzCreatorProcessState() = {};
    ASSERT_TRUE(dir_.isValid());
}

std::string PtzToolsFileTest::PathOf(const char* name) const {
    return dir_.filePath(QString::fromLatin1(name)).toStdString();
}

std::string PtzToolsFileTest::WriteDatabase(const char* name,
                                            const std::vector<PtzProtocol>& protocols) const {
    PtzDatabase database;
    for (const PtzProtocol& protocol : protocols) EXPECT_EQ(database.Append(protocol), 1);
    const std::string path = PathOf(name);
    EXPECT_EQ(database.Save(path), 1);
    return path;
}

std::string PtzToolsFileTest::WriteImage(const char* name,
                                         const std::vector<PtzProtocol>& entries) const {
    PtzImage image;
    for (std::size_t s = 0; s < entries.size(); ++s)
        if (entries[s].number != -1) {
            EXPECT_EQ(image.PutSlot(static_cast<int>(s), entries[s]), 1);
        }
    const std::string path = PathOf(name);
    EXPECT_EQ(image.Save(path), 1);
    return path;
}

}  // namespace imgdl::test

#pragma once
// Shared by the PTZ tools tests: finding a dialog's controls by name, reading list
// texts, answering the editor, and database and image files in a folder per test.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>

#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"
#include "ptz/PtzProtocol.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "support/RecordingDialogService.h"

// Readable failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace imgdl::test {

template <class Widget>
Widget* Child(const QWidget& parent, const char* name) {
    Widget* child = parent.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

inline void Click(const QWidget& parent, const char* buttonName) {
    if (auto* button = Child<QPushButton>(parent, buttonName)) button->click();
}

QStringList Texts(const QListWidget& list);
// The text of the selected entry, empty when none is selected.
QString SelectedText(const QListWidget& list);
// Selects the first entry whose text starts with `prefix`.
void Select(QListWidget& list, const QString& prefix);

// A protocol with a given name and a few settings derived from its number.
PtzProtocol Protocol(std::int32_t number, const std::string& name = "Cam");

// Answers the next editor run: `edit` works on it, then "OK" is pressed (or "Cancel"
// when `ok` is false). The run's result is what the dialog ended with.
void AnswerEditor(RecordingDialogService& service,
                  std::function<void(PtzDataEditorDialog&)> edit = {}, bool ok = true);

// Shows a dialog and waits until it is the active window: only there does the focus
// move and keys arrive as a person types them.
void ShowActive(QWidget& window);
// Presses a key, or types text, into whatever has the focus at that moment.
void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void TypeKeys(const char* keys);
// The object name of the widget that has the focus, empty when none has.
QString FocusName();
// Presses Tab until the control named `name` has the focus, as a person tabs to it.
void TabTo(const char* name);
// Answers the next message box with Enter as a person would, once it is active; `text`
// receives what it said.
void PressEnterOnNextBox(QString& text);

// A folder per test; the creator's process-wide values reset before each.
class PtzToolsFileTest : public ::testing::Test {
  protected:
    void SetUp() override;
    std::string PathOf(const char* name) const;
    std::string WriteDatabase(const char* name, const std::vector<PtzProtocol>& protocols) const;
    // A slot given with number -1 stays empty.
    std::string WriteImage(const char* name, const std::vector<PtzProtocol>& entries) const;

    RecordingDialogService service;

  private:
    QTemporaryDir dir_;
};

}  // namespace imgdl::test

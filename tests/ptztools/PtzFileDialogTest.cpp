// The creator's real file dialogs, as the operator sees them: "All Files" lists every
// file of the folder, one without an extension included, and choosing it loads it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QTest>
#include <QTimer>

#include "PtzToolsTestSupport.h"
#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzImageCreatorDialog.h"
#include "ui/QtDialogService.h"

namespace imgdl::test {
namespace {

QListView* FileList(const QFileDialog& dialog) {
    return dialog.findChild<QListView*>(QStringLiteral("listView"));
}

// The entries the dialog's file list shows for its folder.
QModelIndexList Listed(const QFileDialog& dialog) {
    const QListView* view = FileList(dialog);
    if (!view || !view->model()) return {};
    QModelIndexList entries;
    const QModelIndex folder = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(folder); ++row)
        entries << view->model()->index(row, 0, folder);
    return entries;
}

QStringList Names(const QModelIndexList& entries) {
    QStringList names;
    for (const QModelIndex& entry : entries) names << entry.data().toString();
    names.sort();
    return names;
}

TEST_F(PtzToolsFileTest, AllFilesListsAndLoadsAFileWithoutAnExtension) {
    WriteDatabase("protocols", {Protocol(3)});
    WriteDatabase("other.pdb", {Protocol(4)});
    const QString folder = QFileInfo(QString::fromStdString(PathOf("protocols"))).path();
    QtDialogService qtService;
    PtzImageCreatorDialog creator(qtService);
    ShowActive(creator);
    QStringList listed;
    QTimer::singleShot(0, &creator, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setDirectory(folder);
        dialog->selectNameFilter(dialog->nameFilters().last());  // "All Files"
        EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(*dialog).size() == 2; }, 5000));
        listed = Names(Listed(*dialog));
        // Chosen as a person does: a click on it in the list, then Enter.
        for (const QModelIndex& entry : Listed(*dialog)) {
            if (entry.data().toString() != QStringLiteral("protocols")) continue;
            QListView* view = FileList(*dialog);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(entry).center());
        }
        PressKey(Qt::Key_Return);
        if (dialog->isVisible()) dialog->reject();  // never leave the test waiting
    });
    Click(creator, "loadDatabaseButton");
    EXPECT_EQ(listed, (QStringList{"other.pdb", "protocols"}));
    EXPECT_EQ(Texts(*Child<QListWidget>(creator, "databaseList")), QStringList{"[003]Cam"});
}

}  // namespace
}  // namespace imgdl::test

// A file dropped on the main dialog, as a desktop's file manager drops it.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "AppTestSupport.h"

namespace imgdl::test {
namespace {

// Drags `data` onto `target` and drops it there; true when the drop was taken.
bool Drop(QWidget* target, const QMimeData& data) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QMimeData* Urls(const QList<QUrl>& urls, QObject* owner) {
    auto* data = new QMimeData;  // owned by `owner` below
    data->setParent(owner);
    data->setUrls(urls);
    return data;
}

TEST_F(DialogTest, ADroppedFileBecomesTheImagePath) {
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/images/fw 3.5.bin"));
    EXPECT_TRUE(Drop(&dialog, *Urls({file}, &dialog)));
    EXPECT_EQ(edit("imagePath")->text(), QStringLiteral("/tmp/images/fw 3.5.bin"));
    // Dropped over the path field itself: the path, not the URL text.
    const QUrl other = QUrl::fromLocalFile(QStringLiteral("/tmp/other.bin"));
    EXPECT_TRUE(Drop(edit("imagePath"), *Urls({other}, &dialog)));
    EXPECT_EQ(edit("imagePath")->text(), QStringLiteral("/tmp/other.bin"));
}

TEST_F(DialogTest, DropsThatAreNotOneLocalFileChangeNothing) {
    edit("imagePath")->setText(QStringLiteral("/kept.bin"));
    auto* text = new QMimeData;
    text->setParent(&dialog);
    text->setText(QStringLiteral("/tmp/typed.bin"));
    const struct {
        const char* name;
        const QMimeData* data;
    } cases[] = {
        {"two files",
         Urls({QUrl::fromLocalFile("/tmp/a.bin"), QUrl::fromLocalFile("/tmp/b.bin")}, &dialog)},
        {"a web address", Urls({QUrl(QStringLiteral("https://example.com/fw.bin"))}, &dialog)},
        {"plain text", text},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Drop(&dialog, *c.data)) << c.name;
        EXPECT_EQ(edit("imagePath")->text(), QStringLiteral("/kept.bin")) << c.name;
    }
}

TEST_F(DialogTest, NoDropWhileTheImagePathIsDisabled) {
    chooseType("individualDataRadio");
    ASSERT_FALSE(edit("imagePath")->isEnabled());
    EXPECT_FALSE(Drop(&dialog, *Urls({QUrl::fromLocalFile("/tmp/a.bin")}, &dialog)));
    EXPECT_EQ(edit("imagePath")->text(), QString());
}

}  // namespace
}  // namespace imgdl::test

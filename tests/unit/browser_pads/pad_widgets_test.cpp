// The sample pad and the picture dialog on the offscreen platform: input reaches the model and
// the commands reach their owner with the right samples.

#include "app/ui/image_file_dialog.h"
#include "app/ui/photo_pad.h"
#include "app/ui/sample_pad.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

QByteArray Png() {
    QImage image(150, 150, QImage::Format_RGB32);
    image.fill(Qt::darkGray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::vector<database::StoredSample> StoredSamples(int count) {
    std::vector<database::StoredSample> samples;
    for (int i = 1; i <= count; ++i) {
        recognition::FaceDescriptor descriptor;
        descriptor.values[0] = static_cast<float>(i);
        samples.push_back({10 + i, Png(), descriptor});
    }
    return samples;
}

QAction* ToolbarAction(QWidget& pad, const QString& text) {
    for (QAction* action : pad.findChild<QToolBar*>()->actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

TEST(SamplePadTest, ClicksAndKeysSelectAndCommandsGetTheirSamples) {
    ui::SamplePad pad;
    pad.resize(520, 420);
    pad.ShowSamples(5, StoredSamples(3));
    pad.show();
    QApplication::setActiveWindow(&pad);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pad));

    const QList<QWidget*> items = pad.findChildren<QWidget*>(QStringLiteral("Vektra:OSTROVID_V2:PERSON:SAMPLES:ITEM"));
    ASSERT_EQ(items.size(), 3);
    auto* viewport = pad.findChild<QWidget*>(QStringLiteral("Vektra:OSTROVID_V2:PERSON:SAMPLES:VIEWPORT"));
    ASSERT_NE(viewport, nullptr);
    EXPECT_EQ(items[1]->geometry(), QRect(160, 0, 160, 160));
    QAction* remove = ToolbarAction(pad, QStringLiteral("Удалить"));
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->toolTip(), QStringLiteral("Удалить выбранные образцы персоны"));
    EXPECT_FALSE(remove->isEnabled());

    // The mark square toggles; elsewhere a click only makes the cell current.
    QTest::mouseClick(items[1], Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(pad.Model().Items()[1].selected);
    QTest::mouseClick(items[2], Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_FALSE(pad.Model().Items()[2].selected);
    EXPECT_EQ(pad.Model().Current(), 2);
    EXPECT_TRUE(remove->isEnabled());

    std::optional<browser::SampleTarget> deleted;
    pad.onDelete = [&deleted](const browser::SampleTarget& target) { deleted = target; };
    QTest::keyClick(viewport, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pad.Model().SelectedCount(), 3);
    const QImage markedSquare = items[0]->grab(QRect(0, 0, 32, 32)).toImage();
    QTest::keyClick(viewport, Qt::Key_Delete);
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->choice, database::SampleChoice::Selected);
    EXPECT_EQ(deleted->SampleIds(), (std::vector<int32_t>{11, 12, 13}));

    // Without marks the cut is about the current cell, moved there by the keys.
    std::optional<browser::SampleTarget> cut;
    pad.onCut = [&cut](const browser::SampleTarget& target) { cut = target; };
    QTest::keyClick(viewport, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(pad.Model().SelectedCount(), 0);
    EXPECT_NE(items[0]->grab(QRect(0, 0, 32, 32)).toImage(), markedSquare) << "the check mark is drawn";
    QTest::keyClick(viewport, Qt::Key_Home);
    QTest::keyClick(viewport, Qt::Key_Right);
    QTest::keyClick(viewport, Qt::Key_X, Qt::ControlModifier);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->choice, database::SampleChoice::Current);
    EXPECT_EQ(cut->SampleIds(), std::vector<int32_t>{12});

    // The owner's answers: labels shown, deleted samples gone.
    pad.SetClusterLabels({1, 2, 1});
    EXPECT_EQ(pad.Model().Items()[1].cluster, 2);
    pad.RemoveSamples({12});
    EXPECT_EQ(pad.findChildren<QWidget*>(QStringLiteral("Vektra:OSTROVID_V2:PERSON:SAMPLES:ITEM")).size(), 2);
    EXPECT_FALSE(pad.Model().Current());
}

TEST(PhotoPadTest, AClickFramesThePhotoAndDeleteNamesIt) {
    ui::PhotoPad pad;
    pad.resize(400, 200);
    pad.ShowPhotos({{3, Png()}, {4, Png()}});
    pad.show();
    const QList<QWidget*> items = pad.findChildren<QWidget*>(QStringLiteral("Vektra:OSTROVID_V2:PERSON:PHOTO:ITEM"));
    ASSERT_EQ(items.size(), 2);
    QAction* remove = ToolbarAction(pad, QStringLiteral("Удалить"));
    ASSERT_NE(remove, nullptr);
    EXPECT_FALSE(remove->isEnabled());

    // The clipboard's content decides "Добавить из буфера обмена" as it changes.
    QAction* fromClipboard = pad.findChild<QToolButton*>(QStringLiteral("add"))->menu()->actions().at(1);
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(fromClipboard->isEnabled());
    QGuiApplication::clipboard()->setImage(QImage(8, 8, QImage::Format_RGB32));
    EXPECT_TRUE(fromClipboard->isEnabled());

    int32_t deleted = 0;
    pad.onDelete = [&deleted](int32_t photoId) { deleted = photoId; };
    QTest::mouseClick(items[1], Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(pad.Model().CurrentPhotoId(), 4);
    remove->trigger();
    EXPECT_EQ(deleted, 4);
}

TEST(ImageFileDialogTest, TheBitmapFilterMatchesItsPatternsAndTheFolderIsRestored) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString picture = folder.filePath(QStringLiteral("face.png"));
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(picture));

    QStringList filters;
    QStringList patterns;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        filters = dialog->nameFilters();
        patterns = dialog->findChild<QFileSystemModel*>()->nameFilters();
        dialog->setDirectory(folder.path());
        dialog->selectFile(picture);
        static_cast<QDialog*>(dialog)->accept();
    });
    QDir::setCurrent(folder.path());
    const std::optional<QString> chosen = ui::ChooseImageFile(nullptr);

    EXPECT_EQ(filters, (QStringList{QStringLiteral("Точечные рисунки (*.bmp;*.png;*.jpg;*.gif)"),
                                    QStringLiteral("Все файлы (*.*)")}));
    EXPECT_EQ(patterns, (QStringList{"*.bmp", "*.png", "*.jpg", "*.gif"}));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, picture);
    EXPECT_EQ(QDir::currentPath(), QDir(QCoreApplication::applicationDirPath()).absolutePath());
}

}  // namespace

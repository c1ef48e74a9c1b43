// The sample wizard's windows on the offscreen platform: the pages forward clicks and moves to
// the wizard object and show its state (buttons, texts, icon, frames, cursor); the whole run as
// the database browser calls it.

#include "app/ui/sample_wizard.h"
#include "app/ui/splash_windows.h"
#include "tests/support/face_pictures.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace ui {
namespace {

using enrolment::CSampleCreateWizard;
using testsupport::SharedFaceModels;

QPoint Centre(const cv::Rect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }

// Runs `act` on the modal window once it is up (the caller then enters its modal loop).
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(10, [act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
        } else {
            WhenModal(act);
        }
    });
}

class SampleWizardDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(SharedFaceModels());
        twoFaces_ = dir_.filePath("two.png");
        ASSERT_TRUE(cv::imwrite(twoFaces_.toStdString(), testsupport::TwoFacePicture()));
    }
    QTemporaryDir dir_;
    QString twoFaces_;
};

TEST_F(SampleWizardDialogTest, PagesFollowTheChoiceAndBackKeepsIt) {
    CSampleCreateWizard wizard(*SharedFaceModels(), twoFaces_);
    ASSERT_EQ(wizard.LoadOriginaFile(), enrolment::LoadResult::Loaded);
    ASSERT_EQ(wizard.Faces().size(), 2u);
    SampleCreateWizardDialog dialog(wizard, nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    QAbstractButton* next = dialog.button(QWizard::NextButton);
    QAbstractButton* back = dialog.button(QWizard::BackButton);
    QAbstractButton* finish = dialog.button(QWizard::FinishButton);
    ChooseFacePage* page = dialog.ChoosePage();
    EXPECT_EQ(dialog.windowTitle(), "Создание образца. Выбор лица.");
    EXPECT_FALSE(next->isEnabled());
    EXPECT_FALSE(back->isEnabled());
    EXPECT_TRUE(dialog.button(QWizard::CancelButton)->isEnabled());
    EXPECT_TRUE(page->WarningIcon()->isVisible());
    EXPECT_EQ(page->TextLine()->text(), "Щелкните мышью в область лица нужной персоны и нажмите кнопку Далее >");

    auto* window = dialog.findChild<SamplePictureWindow*>("SampleWzChooseFace");
    ASSERT_EQ(window, page->PictureWindow());
    EXPECT_EQ(window->size(), QSize(400, 300));
    EXPECT_EQ(window->pos(), QPoint(120, 90));

    const std::vector<cv::Rect>& rects = wizard.DisplayFaces();
    QTest::mouseMove(window, Centre(rects[1]));
    EXPECT_EQ(window->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(window, QPoint(5, 5));
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(next->isEnabled());

    QTest::mouseClick(window, Qt::LeftButton, {}, Centre(rects[1]));
    EXPECT_EQ(wizard.ChosenFace(), 1);
    EXPECT_TRUE(next->isEnabled());
    const auto edgeColour = [&](int face) {
        return window->Picture().pixelColor(Centre(rects[face]).x(), rects[face].y);
    };
    EXPECT_EQ(edgeColour(1), QColor(0, 255, 0));
    EXPECT_EQ(edgeColour(0), QColor(255, 255, 0));

    QTest::mouseClick(next, Qt::LeftButton);
    ASSERT_EQ(dialog.currentId(), SampleCreateWizardDialog::kResultPageId);
    EXPECT_EQ(dialog.windowTitle(), "Создание образца. Конечное изображение.");
    SampleResultPage* result = dialog.ResultPage();
    EXPECT_TRUE(finish->isVisible() && finish->isEnabled());
    EXPECT_TRUE(back->isEnabled());
    EXPECT_FALSE(result->WarningIcon()->isVisible());
    EXPECT_EQ(result->TextLine()->text(),
              "Образец лица успешно создан!\nНажмите кнопку Готово для сохранения в базе данных.");
    auto* chip = dialog.findChild<SamplePictureWindow*>("SampleWzResult");
    ASSERT_EQ(chip, result->PictureWindow());
    EXPECT_EQ(chip->size(), QSize(recognition::kChipSize, recognition::kChipSize));
    EXPECT_EQ(chip->pos(), QPoint(245, 165));

    QTest::mouseClick(back, Qt::LeftButton);
    ASSERT_EQ(dialog.currentId(), SampleCreateWizardDialog::kChooseFacePageId);
    EXPECT_EQ(wizard.ChosenFace(), 1);
    EXPECT_TRUE(next->isEnabled());
    EXPECT_EQ(edgeColour(1), QColor(0, 255, 0));
}

TEST_F(SampleWizardDialogTest, RunGivesTheFinishedSampleOrNothing) {
    // Finished: the chip and descriptor the object made.
    WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QWizard*>(modal);
        ASSERT_TRUE(dialog);
        auto* window = dialog->findChild<SamplePictureWindow*>("SampleWzChooseFace");
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(100, 150));  // the left face
        QTest::mouseClick(dialog->button(QWizard::NextButton), Qt::LeftButton);
        QTest::mouseClick(dialog->button(QWizard::FinishButton), Qt::LeftButton);
    });
    const auto sample = RunSampleCreateWizard(nullptr, *SharedFaceModels(), twoFaces_);
    ASSERT_TRUE(sample);
    CSampleCreateWizard direct(*SharedFaceModels(), twoFaces_);
    ASSERT_EQ(direct.LoadOriginaFile(), enrolment::LoadResult::Loaded);
    direct.PlaceInArea({kSamplePictureArea.width(), kSamplePictureArea.height()});
    direct.Click({100, 150});
    ASSERT_EQ(direct.Next(), enrolment::NextResult::Advanced);
    EXPECT_TRUE(sample->descriptor == direct.Sample()->descriptor);

    // Cancelled on the result page.
    WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QWizard*>(modal);
        ASSERT_TRUE(dialog);
        QTest::mouseClick(dialog->findChild<SamplePictureWindow*>("SampleWzChooseFace"), Qt::LeftButton, {},
                          QPoint(300, 150));
        QTest::mouseClick(dialog->button(QWizard::NextButton), Qt::LeftButton);
        QTest::mouseClick(dialog->button(QWizard::CancelButton), Qt::LeftButton);
    });
    EXPECT_FALSE(RunSampleCreateWizard(nullptr, *SharedFaceModels(), twoFaces_));

    // A file that cannot be loaded: the error box, and no wizard.
    QString shown;
    WhenModal([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->windowTitle(), kProgramTitle);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        shown = box->text();
        box->accept();
    });
    const QString broken = dir_.filePath("broken.jpg");
    EXPECT_FALSE(RunSampleCreateWizard(nullptr, *SharedFaceModels(), broken));
    EXPECT_EQ(shown, "Ошибка загрузки файла '" + broken + "'");
}

}  // namespace
}  // namespace ui

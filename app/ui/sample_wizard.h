#pragma once
// Purpose: the two-page sample creation wizard ("Создание образца. Выбор лица." and
//          "Создание образца. Конечное изображение."). The pages only forward the mouse and
//          paint; CSampleCreateWizard decides what they show and which buttons they enable.
// Threads: the user-interface thread.
// Owns: its pages and their widgets; the wizard object is borrowed for the dialog's lifetime.

#include "app/enrolment/sample_create_wizard.h"
#include "app/recognition/face_describer.h"
#include "app/recognition/face_models.h"

#include <QImage>
#include <QWidget>
#include <QWizard>
#include <QWizardPage>

#include <functional>
#include <optional>

class QLabel;

namespace ui {

inline const QString kChooseFaceTitle = QStringLiteral("Создание образца. Выбор лица.");
inline const QString kResultTitle = QStringLiteral("Создание образца. Конечное изображение.");
// The picture area of both pages.
inline constexpr QSize kSamplePictureArea(640, 480);

// The picture window of a page ("SampleWzChooseFace", "SampleWzResult"): exactly the size of
// the picture it shows, placed centred over the page's picture area, so its own coordinates are
// the wizard object's display coordinates.
class SamplePictureWindow final : public QWidget {
public:
    SamplePictureWindow(const QString& name, QWidget* area);
    // Resizes to the picture and centres itself in the area.
    void Show(const QImage& picture);
    const QImage& Picture() const { return picture_; }

    std::function<void(QPoint)> moved;
    std::function<void(QPoint)> leftPressed;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

// A page's common parts: the picture area with its window, the warning icon and the text line.
class SampleWizardPage : public QWizardPage {
public:
    SampleWizardPage(const QString& title, const QString& windowName, enrolment::CSampleCreateWizard& wizard);
    SamplePictureWindow* PictureWindow() const { return window_; }
    QLabel* WarningIcon() const { return icon_; }
    QLabel* TextLine() const { return text_; }

protected:
    void ShowState(const enrolment::PageState& state);

    enrolment::CSampleCreateWizard& wizard_;
    SamplePictureWindow* window_;

private:
    QLabel* icon_;
    QLabel* text_;
};

class ChooseFacePage final : public SampleWizardPage {
public:
    explicit ChooseFacePage(enrolment::CSampleCreateWizard& wizard);
    // Shows the object's state again: the frames, the text, the icon, Next.
    void Refresh();

    void initializePage() override;
    bool isComplete() const override;
    bool validatePage() override;
};

class SampleResultPage final : public SampleWizardPage {
public:
    explicit SampleResultPage(enrolment::CSampleCreateWizard& wizard);
    void initializePage() override;
    bool isComplete() const override;
};

class SampleCreateWizardDialog final : public QWizard {
public:
    enum PageId { kChooseFacePageId, kResultPageId };

    // The object must have loaded its file.
    SampleCreateWizardDialog(enrolment::CSampleCreateWizard& wizard, QWidget* parent);
    ChooseFacePage* ChoosePage() const { return choose_; }
    SampleResultPage* ResultPage() const { return result_; }

private:
    ChooseFacePage* choose_;
    SampleResultPage* result_;
};

// The whole wizard for one picture file, owned by `owner`: loading (a failure is shown in a
// message box), the two pages, and the chip and descriptor of the chosen face when the operator
// finished with a sample; nothing when he cancelled or nothing could be made.
std::optional<recognition::DescribedFace> RunSampleCreateWizard(QWidget* owner, recognition::FaceModels& models,
                                                                const QString& path);

}  // namespace ui

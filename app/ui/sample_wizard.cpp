#include "app/ui/sample_wizard.h"

#include "app/ui/camera_panel.h"
#include "app/ui/splash_windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace ui {
namespace {

cv::Point ToPoint(QPoint p) { return {p.x(), p.y()}; }

// The wait cursor for the lifetime of the object.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

SamplePictureWindow::SamplePictureWindow(const QString& name, QWidget* area) : QWidget(area) {
    setObjectName(name);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SamplePictureWindow::Show(const QImage& picture) {
    picture_ = picture;
    const QSize area = parentWidget()->size();
    setGeometry((area.width() - picture.width()) / 2, (area.height() - picture.height()) / 2, picture.width(),
                picture.height());
    update();
}

void SamplePictureWindow::paintEvent(QPaintEvent*) { QPainter(this).drawImage(0, 0, picture_); }

void SamplePictureWindow::mouseMoveEvent(QMouseEvent* event) {
    if (moved) moved(event->position().toPoint());
}

void SamplePictureWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && leftPressed) leftPressed(event->position().toPoint());
}

SampleWizardPage::SampleWizardPage(const QString& title, const QString& windowName,
                                   enrolment::CSampleCreateWizard& wizard)
    : wizard_(wizard) {
    setTitle(title);
    auto* area = new QWidget(this);
    area->setFixedSize(kSamplePictureArea);
    window_ = new SamplePictureWindow(windowName, area);
    icon_ = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
    text_ = new QLabel(this);
    text_->setWordWrap(true);

    auto* line = new QHBoxLayout;
    line->addWidget(icon_);
    line->addWidget(text_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(area, 0, Qt::AlignHCenter);
    layout->addLayout(line);
}

void SampleWizardPage::ShowState(const enrolment::PageState& state) {
    icon_->setVisible(state.warningShown);
    text_->setText(state.text);
    emit completeChanged();
}

ChooseFacePage::ChooseFacePage(enrolment::CSampleCreateWizard& wizard)
    : SampleWizardPage(kChooseFaceTitle, QStringLiteral("SampleWzChooseFace"), wizard) {
    window_->moved = [this](QPoint p) {
        const bool overFace = wizard_.FaceAt(ToPoint(p)) != enrolment::CSampleCreateWizard::kNoFace;
        window_->setCursor(overFace ? Qt::PointingHandCursor : Qt::ArrowCursor);
    };
    window_->leftPressed = [this](QPoint p) {
        if (wizard_.Click(ToPoint(p)) == enrolment::ChoiceResult::Chosen) Refresh();
    };
}

void ChooseFacePage::Refresh() {
    window_->Show(ImageFromMat(wizard_.DisplayPicture()));
    ShowState(wizard_.ChooseFacePage());
}

void ChooseFacePage::initializePage() {
    wizard_.PlaceInArea(cv::Size(kSamplePictureArea.width(), kSamplePictureArea.height()));
    Refresh();
}

bool ChooseFacePage::isComplete() const { return wizard_.ChooseFacePage().nextEnabled; }

bool ChooseFacePage::validatePage() {
    const WaitCursor wait;
    return wizard_.Next() == enrolment::NextResult::Advanced;
}

SampleResultPage::SampleResultPage(enrolment::CSampleCreateWizard& wizard)
    : SampleWizardPage(kResultTitle, QStringLiteral("SampleWzResult"), wizard) {}

void SampleResultPage::initializePage() {
    const auto& sample = wizard_.Sample();
    window_->Show(sample ? ImageFromMat(sample->chip) : QImage());
    ShowState(wizard_.ResultPage());
}

bool SampleResultPage::isComplete() const { return wizard_.ResultPage().finishEnabled; }

SampleCreateWizardDialog::SampleCreateWizardDialog(enrolment::CSampleCreateWizard& wizard, QWidget* parent)
    : QWizard(parent), choose_(new ChooseFacePage(wizard)), result_(new SampleResultPage(wizard)) {
    setWizardStyle(QWizard::ClassicStyle);
    setButtonText(QWizard::BackButton, QStringLiteral("< Назад"));
    setButtonText(QWizard::NextButton, QStringLiteral("Далее >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("Готово"));
    setButtonText(QWizard::CancelButton, QStringLiteral("Отмена"));
    setPage(kChooseFacePageId, choose_);
    setPage(kResultPageId, result_);
    connect(this, &QWizard::currentIdChanged, this, [this](int id) {
        if (QWizardPage* shown = page(id)) setWindowTitle(shown->title());
        // Back from the result page: the choice is kept and shown again.
        if (id == kChooseFacePageId) choose_->Refresh();
    });
}

std::optional<recognition::DescribedFace> RunSampleCreateWizard(QWidget* owner, recognition::FaceModels& models,
                                                                const QString& path) {
    enrolment::CSampleCreateWizard wizard(models, path);
    enrolment::LoadResult loaded;
    {
        const WaitCursor wait;
        loaded = wizard.LoadOriginaFile();
    }
    if (loaded == enrolment::LoadResult::Failed) {
        QMessageBox::critical(owner, kProgramTitle, wizard.LoadErrorText());
        return std::nullopt;
    }
    SampleCreateWizardDialog dialog(wizard, owner);
    if (dialog.exec() != QDialog::Accepted || !wizard.Succeeded()) return std::nullopt;
    return wizard.Sample();
}

}  // namespace ui

#include "app/enrolment/sample_create_wizard.h"

#include "app/enrolment/sample_picture.h"
#include "platform/log.h"

#include <opencv2/imgproc.hpp>

#include <utility>

namespace enrolment {
namespace {

const cv::Scalar kChosenColour(0, 255, 0);
const cv::Scalar kOtherColour(0, 255, 255);
constexpr int kFrameThickness = 2;

}  // namespace

CSampleCreateWizard::CSampleCreateWizard(recognition::FaceModels& models, QString sourcePath)
    : models_(models), sourcePath_(std::move(sourcePath)) {}

LoadResult CSampleCreateWizard::LoadOriginaFile() {
    const cv::Mat picture = ReadSamplePicture(sourcePath_);
    if (picture.empty()) {
        WriteLog(QStringLiteral("CSampleCreateWizard::LoadOriginaFile(): Exception on image loading."));
        loadError_ = QStringLiteral("Ошибка загрузки файла '%1'").arg(sourcePath_);
        return LoadResult::Failed;
    }
    image_ = LimitPictureSide(picture, kMaxWorkingSide);
    faces_ = models_.DetectAllFaces(image_);
    chosen_ = faces_.size() == 1 ? 0 : kNoFace;
    PlaceInArea(image_.size());
    return LoadResult::Loaded;
}

void CSampleCreateWizard::PlaceInArea(cv::Size area) {
    display_ = DisplayMapping(image_.size(), area);
    if (display_.DisplaySize() == image_.size()) {
        displayImage_ = image_;
    } else {
        cv::resize(image_, displayImage_, display_.DisplaySize(), 0, 0, cv::INTER_LINEAR);
    }
    displayFaces_.clear();
    for (const recognition::FrameFace& face : faces_) displayFaces_.push_back(display_.ToDisplay(face));
}

int CSampleCreateWizard::FaceAt(cv::Point displayPoint) const {
    for (size_t i = 0; i < displayFaces_.size(); ++i)
        if (displayFaces_[i].contains(displayPoint)) return static_cast<int>(i);
    return kNoFace;
}

ChoiceResult CSampleCreateWizard::Click(cv::Point displayPoint) { return ChooseFace(FaceAt(displayPoint)); }

ChoiceResult CSampleCreateWizard::ChooseFace(int index) {
    if (index < 0 || static_cast<size_t>(index) >= faces_.size() || index == chosen_) return ChoiceResult::Unchanged;
    chosen_ = index;
    return ChoiceResult::Chosen;
}

cv::Mat CSampleCreateWizard::DisplayPicture() const {
    cv::Mat picture = displayImage_.clone();
    // The chosen frame last, so that an overlapping neighbour does not paint over it.
    for (size_t i = 0; i < displayFaces_.size(); ++i)
        if (static_cast<int>(i) != chosen_)
            cv::rectangle(picture, displayFaces_[i], kOtherColour, kFrameThickness, cv::LINE_AA);
    if (chosen_ != kNoFace) cv::rectangle(picture, displayFaces_[chosen_], kChosenColour, kFrameThickness, cv::LINE_AA);
    return picture;
}

PageState CSampleCreateWizard::ChooseFacePage() const {
    PageState state;
    if (faces_.empty()) {
        state.text = QString::fromUtf8(kNoFaceText);
        state.warningShown = true;
    } else if (faces_.size() == 1) {
        state.text = QString::fromUtf8(kOneFaceText);
        state.nextEnabled = true;
    } else {
        state.text = QString::fromUtf8(kSeveralFacesText);
        state.warningShown = true;
        state.nextEnabled = chosen_ != kNoFace;
    }
    return state;
}

NextResult CSampleCreateWizard::Next() {
    if (chosen_ == kNoFace) return NextResult::Stayed;
    // A failed run must not leave the chip of an earlier choice behind.
    sample_.reset();
    resultText_.clear();
    sample_ = models_.InterfaceDescriber().Describe(image_, faces_[chosen_]);
    if (sample_) resultText_ = QString::fromUtf8(kSampleCreatedText);
    return NextResult::Advanced;
}

PageState CSampleCreateWizard::ResultPage() const {
    PageState state;
    state.text = resultText_;
    state.warningShown = !Succeeded();
    state.backEnabled = true;
    state.finishEnabled = Succeeded();
    return state;
}

}  // namespace enrolment

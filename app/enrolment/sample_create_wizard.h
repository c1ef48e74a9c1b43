#pragma once
// Purpose: one run of the sample creation wizard without any window: the picture file loaded and
//          limited in size, its faces, the operator's choice among them on the display, the
//          state of both pages (texts, warning icon, buttons), the picture page 1 shows, and the
//          chip and descriptor of the chosen face. The wizard's windows forward to it and paint
//          what it says; tests drive it directly.
// Threads: the user-interface thread (face detection and the interface describer live there).
// Owns: the pictures, faces and result of this run; the face models are borrowed.

#include "app/enrolment/display_mapping.h"
#include "app/recognition/face_describer.h"
#include "app/recognition/face_models.h"

#include <QString>
#include <opencv2/core/mat.hpp>

#include <optional>
#include <vector>

namespace enrolment {

enum class LoadResult { Loaded, Failed };
enum class ChoiceResult { Unchanged, Chosen };
enum class NextResult { Stayed, Advanced };

// What a wizard page shows and which wizard buttons it enables (Cancel always is).
struct PageState {
    QString text;
    bool warningShown = false;
    bool nextEnabled = false;
    bool backEnabled = false;
    bool finishEnabled = false;
};

inline constexpr char kNoFaceText[] = "Не удалось обнаружить лица на изображении.";
inline constexpr char kOneFaceText[] = "Если лицо персоны обрамлено правильно, нажмите кнопку Далее >";
inline constexpr char kSeveralFacesText[] = "Щелкните мышью в область лица нужной персоны и нажмите кнопку Далее >";
inline constexpr char kSampleCreatedText[] =
    "Образец лица успешно создан!\nНажмите кнопку Готово для сохранения в базе данных.";

class CSampleCreateWizard {
public:
    static constexpr int kNoFace = -1;

    CSampleCreateWizard(recognition::FaceModels& models, QString sourcePath);

    // Reads the source file like a camera frame, limits it to kMaxWorkingSide and finds its faces
    // (those whose landmarks can all be placed, in the detector's order). A single face is chosen
    // at once. Failure is logged; LoadErrorText() then holds the operator's message.
    LoadResult LoadOriginaFile();
    const QString& LoadErrorText() const { return loadError_; }

    const QString& SourcePath() const { return sourcePath_; }
    // The working picture: the file's picture after the size limit. Face rectangles are in its pixels.
    const cv::Mat& Image() const { return image_; }
    const std::vector<recognition::FrameFace>& Faces() const { return faces_; }
    int ChosenFace() const { return chosen_; }

    // Page 1's picture area: fixes the display of the working picture in it.
    void PlaceInArea(cv::Size area);
    const DisplayMapping& Display() const { return display_; }
    // The face rectangles in display coordinates (relative to the displayed picture).
    const std::vector<cv::Rect>& DisplayFaces() const { return displayFaces_; }
    // The first face whose display rectangle holds the point, or kNoFace.
    int FaceAt(cv::Point displayPoint) const;
    // A left click in display coordinates: a face other than the chosen one becomes chosen.
    ChoiceResult Click(cv::Point displayPoint);
    // Chooses a face by its index; an index out of range changes nothing.
    ChoiceResult ChooseFace(int index);

    // The displayed picture with every face framed: the chosen one green, the others yellow.
    cv::Mat DisplayPicture() const;
    PageState ChooseFacePage() const;

    // Page 1's Next: with a face chosen, its chip and descriptor from the working picture, through
    // the describer that describes live camera faces. Without one the page stays.
    NextResult Next();
    PageState ResultPage() const;
    const QString& ResultText() const { return resultText_; }
    bool Succeeded() const { return sample_.has_value(); }
    // The chip (150x150, frame byte order) and its descriptor once Next succeeded.
    const std::optional<recognition::DescribedFace>& Sample() const { return sample_; }

private:
    recognition::FaceModels& models_;
    QString sourcePath_;
    QString loadError_;
    cv::Mat image_;
    std::vector<recognition::FrameFace> faces_;
    int chosen_ = kNoFace;
    DisplayMapping display_;
    cv::Mat displayImage_;
    std::vector<cv::Rect> displayFaces_;
    QString resultText_;
    std::optional<recognition::DescribedFace> sample_;
};

}  // namespace enrolment

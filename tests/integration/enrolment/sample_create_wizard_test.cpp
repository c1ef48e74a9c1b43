// The sample wizard object on real pictures and the real models: loading odd and damaged files,
// the face choice on the display, the page states, and the descriptor of the chosen face compared
// with the one a prediction worker computes for the same face.

#include "app/enrolment/sample_create_wizard.h"
#include "app/enrolment/sample_picture.h"
#include "platform/log.h"
#include "tests/support/face_pictures.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <zlib.h>
#include <QFile>
#include <QTemporaryDir>
#include <opencv2/imgproc.hpp>

#include <random>
#include <vector>

namespace enrolment {
namespace {

using testsupport::SharedFaceModels;

const cv::Size kArea(640, 480);

cv::Point Centre(const cv::Rect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }

class SampleWizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        log_ = dir_.filePath("Ostrovid.log");
        platform::SetLogFile(log_, dir_.filePath("Ostrovid1.log"));
        ASSERT_TRUE(SharedFaceModels());
    }
    void TearDown() override { platform::SetLogFile(QString(), QString()); }

    QString Write(const QString& name, const cv::Mat& picture) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(cv::imwrite(path.toStdString(), picture)) << path.toStdString();
        return path;
    }
    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    std::unique_ptr<CSampleCreateWizard> Load(const QString& path) {
        auto wizard = std::make_unique<CSampleCreateWizard>(*SharedFaceModels(), path);
        EXPECT_EQ(wizard->LoadOriginaFile(), LoadResult::Loaded) << path.toStdString();
        wizard->PlaceInArea(kArea);
        return wizard;
    }
    void ExpectLoadFailure(const QString& path) {
        CSampleCreateWizard wizard(*SharedFaceModels(), path);
        EXPECT_EQ(wizard.LoadOriginaFile(), LoadResult::Failed) << path.toStdString();
        EXPECT_EQ(wizard.LoadErrorText(), "Ошибка загрузки файла '" + path + "'");
        EXPECT_TRUE(wizard.Faces().empty());
        EXPECT_EQ(testsupport::CountLines(testsupport::LogLines(log_),
                                          "CSampleCreateWizard::LoadOriginaFile(): Exception on image loading."),
                  ++failures_)
            << path.toStdString();
    }

    QTemporaryDir dir_;
    QString log_;
    int failures_ = 0;
};

TEST_F(SampleWizardTest, PictureWithoutFacesCanOnlyBeCancelled) {
    cv::Mat plain(300, 400, CV_8UC3);
    cv::randu(plain, 90, 110);
    const auto wizard = Load(Write("plain.png", plain));
    EXPECT_TRUE(wizard->Faces().empty());
    EXPECT_EQ(wizard->ChosenFace(), CSampleCreateWizard::kNoFace);
    const PageState page = wizard->ChooseFacePage();
    EXPECT_EQ(page.text, "Не удалось обнаружить лица на изображении.");
    EXPECT_TRUE(page.warningShown);
    EXPECT_FALSE(page.nextEnabled || page.backEnabled || page.finishEnabled);
    EXPECT_EQ(wizard->Click({200, 150}), ChoiceResult::Unchanged);
    EXPECT_EQ(wizard->Next(), NextResult::Stayed);
    EXPECT_FALSE(wizard->Succeeded());
}

TEST_F(SampleWizardTest, OneFaceIsChosenAtOnce) {
    const auto wizard = Load(QString::fromStdString(testsupport::DlibExample("faces/2008_002079.jpg")));
    ASSERT_EQ(wizard->Faces().size(), 1u);
    EXPECT_EQ(wizard->ChosenFace(), 0);
    const PageState page = wizard->ChooseFacePage();
    EXPECT_EQ(page.text, "Если лицо персоны обрамлено правильно, нажмите кнопку Далее >");
    EXPECT_FALSE(page.warningShown);
    EXPECT_TRUE(page.nextEnabled);
    EXPECT_FALSE(page.backEnabled || page.finishEnabled);
}

// Clicks, frame colours and the result page on a picture of two people.
TEST_F(SampleWizardTest, TwoFacesWaitForAClickThatChoosesOneAndBackKeepsIt) {
    const auto wizard = Load(Write("two.png", testsupport::TwoFacePicture()));
    ASSERT_EQ(wizard->Faces().size(), 2u);
    EXPECT_EQ(wizard->Display().DisplaySize(), cv::Size(400, 300));
    EXPECT_EQ(wizard->ChosenFace(), CSampleCreateWizard::kNoFace);
    PageState page = wizard->ChooseFacePage();
    EXPECT_EQ(page.text, "Щелкните мышью в область лица нужной персоны и нажмите кнопку Далее >");
    EXPECT_TRUE(page.warningShown);
    EXPECT_FALSE(page.nextEnabled);
    EXPECT_EQ(wizard->Next(), NextResult::Stayed);

    // Outside every face: nothing changes.
    EXPECT_EQ(wizard->FaceAt({5, 5}), CSampleCreateWizard::kNoFace);
    EXPECT_EQ(wizard->Click({5, 5}), ChoiceResult::Unchanged);
    EXPECT_EQ(wizard->Click({200, 290}), ChoiceResult::Unchanged);
    EXPECT_FALSE(wizard->ChooseFacePage().nextEnabled);

    const std::vector<cv::Rect>& rects = wizard->DisplayFaces();
    const int right = rects[0].x > rects[1].x ? 0 : 1;
    const int left = 1 - right;
    EXPECT_GT(rects[right].x, 200);
    EXPECT_EQ(wizard->Click(Centre(rects[right])), ChoiceResult::Chosen);
    EXPECT_EQ(wizard->ChosenFace(), right);
    // The chosen face again: nothing changes.
    EXPECT_EQ(wizard->Click(Centre(rects[right])), ChoiceResult::Unchanged);
    page = wizard->ChooseFacePage();
    EXPECT_TRUE(page.nextEnabled);
    EXPECT_TRUE(page.warningShown);

    // The top edge of each frame: green for the chosen face, yellow for the other; between the
    // faces the picture is untouched.
    const cv::Mat shown = wizard->DisplayPicture();
    ASSERT_EQ(shown.size(), cv::Size(400, 300));
    const auto edge = [&](int face) { return shown.at<cv::Vec3b>(rects[face].y, Centre(rects[face]).x); };
    EXPECT_EQ(edge(right), cv::Vec3b(0, 255, 0));
    EXPECT_EQ(edge(left), cv::Vec3b(0, 255, 255));
    EXPECT_EQ(shown.at<cv::Vec3b>(20, 200), wizard->Image().at<cv::Vec3b>(20, 200));

    ASSERT_EQ(wizard->Next(), NextResult::Advanced);
    ASSERT_TRUE(wizard->Succeeded());
    EXPECT_EQ(wizard->ResultText(),
              "Образец лица успешно создан!\nНажмите кнопку Готово для сохранения в базе данных.");
    page = wizard->ResultPage();
    EXPECT_EQ(page.text, wizard->ResultText());
    EXPECT_FALSE(page.warningShown);
    EXPECT_TRUE(page.backEnabled && page.finishEnabled);
    EXPECT_FALSE(page.nextEnabled);
    EXPECT_EQ(wizard->Sample()->chip.size(), cv::Size(recognition::kChipSize, recognition::kChipSize));
    EXPECT_EQ(wizard->Sample()->chip.type(), CV_8UC3);

    // Back: page 1 as it was left. A new choice and Next give the other person's sample.
    EXPECT_EQ(wizard->ChosenFace(), right);
    EXPECT_TRUE(wizard->ChooseFacePage().nextEnabled);
    const recognition::FaceDescriptor first = wizard->Sample()->descriptor;
    EXPECT_EQ(wizard->Click(Centre(rects[left])), ChoiceResult::Chosen);
    ASSERT_EQ(wizard->Next(), NextResult::Advanced);
    EXPECT_FALSE(wizard->Sample()->descriptor == first);
}

// A 4000x3000 file is worked on at 1920x1440 and shown at 640x480 (factor 3): a click on the
// display chooses the face whose working-picture rectangle is under the clicked point.
TEST_F(SampleWizardTest, LargePictureIsLimitedAndClicksMapToWorkingPixels) {
    cv::Mat large;
    cv::resize(testsupport::TwoFacePicture(), large, cv::Size(4000, 3000), 0, 0, cv::INTER_LINEAR);
    const auto wizard = Load(Write("large.png", large));
    EXPECT_EQ(wizard->Image().size(), cv::Size(1920, 1440));
    EXPECT_EQ(wizard->Display().DisplaySize(), cv::Size(640, 480));
    EXPECT_EQ(wizard->Display().ScaleX(), 3.0);
    EXPECT_EQ(wizard->Display().ScaleY(), 3.0);
    ASSERT_EQ(wizard->Faces().size(), 2u);
    for (int face = 0; face < 2; ++face) {
        const cv::Point click = Centre(wizard->DisplayFaces()[face]);
        EXPECT_EQ(wizard->Click(click), ChoiceResult::Chosen);
        ASSERT_EQ(wizard->ChosenFace(), face);
        const recognition::FrameFace& chosen = wizard->Faces()[face];
        EXPECT_TRUE(cv::Rect(chosen.x, chosen.y, chosen.width, chosen.height).contains(click * 3));
        // Working-picture faces are several times the display ones (the faces are ~480 px there).
        EXPECT_GT(chosen.width, 2 * wizard->DisplayFaces()[face].width);
    }
}

// The wizard's descriptor is the one a prediction worker computes (its own network copy) for the
// same face of the same frame, bit for bit, and so is the chip.
TEST_F(SampleWizardTest, DescriptorEqualsTheLiveWorkersForTheSameFace) {
    const auto wizard = Load(QString::fromStdString(testsupport::DlibExample("faces/bald_guys.jpg")));
    EXPECT_EQ(wizard->Image().size(), cv::Size(1920, 1494));
    ASSERT_EQ(wizard->Faces().size(), 24u);
    ASSERT_EQ(wizard->ChooseFace(7), ChoiceResult::Chosen);
    ASSERT_EQ(wizard->Next(), NextResult::Advanced);
    ASSERT_TRUE(wizard->Succeeded());

    const cv::Mat frame = wizard->Image().clone();
    const auto live = SharedFaceModels()->MakeDescriber()->Describe(frame, wizard->Faces()[7]);
    ASSERT_TRUE(live);
    EXPECT_TRUE(live->descriptor == wizard->Sample()->descriptor);
    EXPECT_EQ(cv::norm(live->chip, wizard->Sample()->chip, cv::NORM_INF), 0.0);
}

// Gray, four-channel and 16-bit files become the frame a camera would deliver for the same
// picture; their faces and descriptors follow from that frame.
TEST_F(SampleWizardTest, GrayAlphaAndDeepFilesBecomeFrames) {
    const cv::Mat colour = testsupport::TwoFacePicture();
    cv::Mat gray, grayFrame, alpha, deep;
    cv::cvtColor(colour, gray, cv::COLOR_BGR2GRAY);
    cv::cvtColor(gray, grayFrame, cv::COLOR_GRAY2BGR);
    cv::cvtColor(colour, alpha, cv::COLOR_BGR2BGRA);
    colour.convertTo(deep, CV_16U, 257.0);

    struct Case {
        QString name;
        cv::Mat file;
        cv::Mat frame;
    };
    for (const Case& c : {Case{"gray.png", gray, grayFrame}, Case{"alpha.png", alpha, colour},
                          Case{"deep.png", deep, colour}, Case{"gray.jpg", gray, cv::Mat()}}) {
        const auto wizard = Load(Write(c.name, c.file));
        ASSERT_EQ(wizard->Image().type(), CV_8UC3) << c.name.toStdString();
        if (!c.frame.empty()) {
            EXPECT_EQ(cv::norm(wizard->Image(), c.frame, cv::NORM_INF), 0.0) << c.name.toStdString();
        }
        EXPECT_EQ(wizard->Faces(), SharedFaceModels()->DetectAllFaces(wizard->Image()));
        ASSERT_EQ(wizard->Faces().size(), 2u) << c.name.toStdString();
        wizard->ChooseFace(1);
        ASSERT_EQ(wizard->Next(), NextResult::Advanced);
        const auto live = SharedFaceModels()->MakeDescriber()->Describe(wizard->Image(), wizard->Faces()[1]);
        ASSERT_TRUE(live && wizard->Sample());
        EXPECT_TRUE(live->descriptor == wizard->Sample()->descriptor) << c.name.toStdString();
    }
}

// A complete black PNG of width x height at one bit per pixel: a small file whatever it declares.
QByteArray BlackPng(uint32_t width, uint32_t height) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    const auto be32 = [](QByteArray& to, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) to.append(char((v >> shift) & 0xFF));
    };
    const auto chunk = [&](const char* type, const QByteArray& data) {
        be32(png, uint32_t(data.size()));
        const QByteArray body = QByteArray(type, 4) + data;
        png.append(body);
        be32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    };
    QByteArray header;
    be32(header, width);
    be32(header, height);
    header.append(QByteArray("\x01\x00\x00\x00\x00", 5));  // 1 bit, gray, no interlace
    chunk("IHDR", header);
    // Each row: filter byte 0, then the packed bits.
    const std::vector<Bytef> rows(size_t(height) * (1 + (width + 7) / 8), 0);
    uLongf packedSize = compressBound(uLong(rows.size()));
    QByteArray packed(int(packedSize), '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, rows.data(), uLong(rows.size()), 9),
              Z_OK);
    packed.resize(int(packedSize));
    chunk("IDAT", packed);
    chunk("IEND", QByteArray());
    return png;
}

TEST_F(SampleWizardTest, UnreadableFilesAreReportedAndLogged) {
    ExpectLoadFailure(dir_.filePath("missing.jpg"));
    ExpectLoadFailure(WriteBytes("text.jpg", "not a picture at all\n"));
    ExpectLoadFailure(WriteBytes("empty.png", QByteArray()));
    QByteArray noise(64 * 1024, '\0');
    std::mt19937 random(13);
    for (char& byte : noise) byte = char(random());
    ExpectLoadFailure(WriteBytes("noise.jpg", noise));

    // Cut in the middle of the picture data.
    std::vector<uchar> png;
    ASSERT_TRUE(cv::imencode(".png", testsupport::TwoFacePicture(), png));
    const QByteArray cut(reinterpret_cast<const char*>(png.data()), int(png.size() / 2));
    ExpectLoadFailure(WriteBytes("cut.png", cut));
    // A small file of a 20000x20000 picture, which would take 1.2 GB as a frame, is refused
    // before decoding; the same file at a modest size is a picture.
    const QByteArray huge = BlackPng(20000, 20000);
    EXPECT_LT(huge.size(), 200 * 1024);
    EXPECT_GT(int64_t{20000} * 20000, kMaxSamplePicturePixels);
    ExpectLoadFailure(WriteBytes("huge.png", huge));
    const auto small = Load(WriteBytes("small.png", BlackPng(300, 200)));
    EXPECT_EQ(small->Image().size(), cv::Size(300, 200));
    EXPECT_TRUE(small->Faces().empty());
}

// A cut JPEG decodes with its missing rows filled in, as picture viewers show it: the faces of
// the part that is there can still be chosen.
TEST_F(SampleWizardTest, CutJpegKeepsTheFacesOfItsFirstPart) {
    QFile source(QString::fromStdString(testsupport::DlibExample("faces/bald_guys.jpg")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const auto wizard = Load(WriteBytes("cut.jpg", source.read(source.size() / 2)));
    EXPECT_EQ(wizard->Image().size(), cv::Size(1920, 1494));
    EXPECT_GT(wizard->Faces().size(), 0u);
    EXPECT_LT(wizard->Faces().size(), 24u);
}

}  // namespace
}  // namespace enrolment

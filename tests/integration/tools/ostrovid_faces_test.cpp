// The command-line tool against the library it is built on: same faces, same descriptors.

#include "app/recognition/face_models.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <random>

namespace recognition {
namespace {

const QString kBaldGuys = DLIB_EXAMPLES_DIR "/faces/bald_guys.jpg";
const QString kJohn = DLIB_EXAMPLES_DIR "/johns/John_Simm/000288_00470387.jpg";

struct ToolRun {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

ToolRun RunTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(OSTROVID_FACES_TOOL, QStringList{"--data", OSTROVID_DATA_DIR} + arguments);
    EXPECT_TRUE(tool.waitForFinished(120000));
    ToolRun run;
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.lines = QString::fromLocal8Bit(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.errors = QString::fromLocal8Bit(tool.readAllStandardError());
    return run;
}

struct Line {
    QString file;
    FrameFace face;
    FaceDescriptor descriptor;
};

Line ParseLine(const QString& text) {
    Line line;
    const QStringList fields = text.split('\t');
    EXPECT_EQ(fields.size(), 3) << text.toStdString();
    if (fields.size() != 3) return line;
    line.file = fields[0];
    const QStringList box = fields[1].split(' ');
    EXPECT_EQ(box.size(), 4);
    if (box.size() == 4) line.face = {box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt()};
    const QStringList values = fields[2].split(' ');
    EXPECT_EQ(values.size(), 128);
    for (int k = 0; k < values.size() && k < 128; ++k) {
        bool ok = false;
        line.descriptor.values[k] = values[k].toFloat(&ok);
        EXPECT_TRUE(ok) << values[k].toStdString();
    }
    return line;
}

TEST(OstrovidFacesTool, PrintsTheProgramsFacesAndDescriptorsAndGoesOnAfterBadFiles) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.jpg");
    const QString garbage = dir.filePath("garbage.jpg");
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        std::mt19937 random(3);
        QByteArray bytes("\xff\xd8\xff\xe0", 4);
        for (int i = 0; i < 4096; ++i) bytes.append(static_cast<char>(random()));
        file.write(bytes);
    }
    const ToolRun run = RunTool({kBaldGuys, missing, garbage, kJohn});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(missing + ": cannot read")) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(garbage + ": cannot read")) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 9);  // MaxSubject 8 of the bald guys, then the one John

    QString error;
    const auto models = FaceModels::Load(OSTROVID_DATA_DIR, error);
    ASSERT_TRUE(models) << error.toStdString();
    std::vector<Line> expected;
    for (const QString& file : {kBaldGuys, kJohn}) {
        const cv::Mat picture = ReadPictureFile(file);
        for (const FrameFace& face : models->DetectFaces(picture, 8))
            expected.push_back({file, face, models->InterfaceDescriber().Describe(picture, face)->descriptor});
    }
    ASSERT_EQ(expected.size(), 9u);
    for (size_t i = 0; i < expected.size(); ++i) {
        const Line line = ParseLine(run.lines[static_cast<int>(i)]);
        EXPECT_EQ(line.file, expected[i].file);
        EXPECT_EQ(line.face, expected[i].face) << i;
        // "%.9g" gives every float back exactly.
        EXPECT_EQ(line.descriptor, expected[i].descriptor) << i;
    }
}

TEST(OstrovidFacesTool, HonoursMaxSubjectAndReportsMissingModelsAndBadArguments) {
    ToolRun run = RunTool({"--max-subject", "1", kBaldGuys});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines.size(), 1);

    QTemporaryDir empty;
    QProcess tool;
    tool.start(OSTROVID_FACES_TOOL, {"--data", empty.path(), kJohn});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 2);
    EXPECT_TRUE(tool.readAllStandardError().contains("cannot load the face models"));
    EXPECT_TRUE(tool.readAllStandardOutput().isEmpty());

    for (const QStringList& bad : {QStringList{}, QStringList{"--max-subject", "0", kJohn},
                                   QStringList{"--max-subject", "17", kJohn}, QStringList{"--bogus", kJohn}}) {
        run = RunTool(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains("usage:"));
    }
}

}  // namespace
}  // namespace recognition

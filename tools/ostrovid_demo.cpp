// The demonstration's setup steps, run by scripts/demo/ as root or by the tests:
//   ostrovid-demo make [--examples DIR] [--data DIR] OUT_DIR
//       the looping camera video OUT_DIR/camera.mjpeg and the enrolment folders OUT_DIR/people
//       (people/green|red|gray/<name>/NNN.jpg) from Debian's dlib example faces
//   ostrovid-demo settings --camera-url URL --script FILE --csv DIR
//       the demonstration's settings in the store OSTROVID_REGISTRY names
//   ostrovid-demo check
//       whether the store (and its database) is as a fresh installation left it
// Exit status: 0 done (check: fresh), 1 failed, 2 bad arguments; check: 3 in use, 4 unknown.

#include "platform/paths.h"
#include "platform/registry.h"
#include "tools/demo_cast.h"
#include "tools/demo_settings.h"
#include "tools/demo_video.h"
#include "tools/first_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: ostrovid-demo make [--examples DIR] [--data DIR] OUT_DIR\n"
    "       ostrovid-demo settings --camera-url URL --script FILE --csv DIR\n"
    "       ostrovid-demo check\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "ostrovid-demo: %s\n%s", problem, kUsage);
    return 2;
}

int Fail(const QString& text) {
    std::fprintf(stderr, "ostrovid-demo: %s\n", qUtf8Printable(text));
    return 1;
}

// The options of a verb as name/value pairs; false when one lacks its value or is unknown.
bool ReadOptions(int argc, char** argv, int first, std::initializer_list<const char*> names,
                 std::vector<std::pair<QString, QString>>& options, QStringList& rest) {
    for (int i = first; i < argc; ++i) {
        bool known = false;
        for (const char* name : names) {
            if (std::strcmp(argv[i], name) != 0) continue;
            if (i + 1 >= argc) return false;
            options.emplace_back(QString::fromLatin1(name), QString::fromLocal8Bit(argv[++i]));
            known = true;
        }
        if (known) continue;
        if (argv[i][0] == '-') return false;
        rest.append(QString::fromLocal8Bit(argv[i]));
    }
    return true;
}

QString Option(const std::vector<std::pair<QString, QString>>& options, const char* name, const QString& fallback) {
    for (const auto& [key, value] : options)
        if (key == QLatin1String(name)) return value;
    return fallback;
}

int Make(int argc, char** argv) {
    std::vector<std::pair<QString, QString>> options;
    QStringList rest;
    if (!ReadOptions(argc, argv, 2, {"--examples", "--data"}, options, rest) || rest.size() != 1)
        return Usage("make takes OUT_DIR and the options --examples and --data");
    const QString examples =
        Option(options, "--examples", QStringLiteral("/usr/share/doc/libdlib19.1/examples"));
    const QString data = Option(options, "--data", QCoreApplication::applicationDirPath() + QStringLiteral("/Data"));
    const QDir out(rest.front());
    if (!QDir().mkpath(out.path())) return Fail(QStringLiteral("cannot create %1").arg(out.path()));

    QString error;
    const std::unique_ptr<recognition::FaceModels> models = recognition::FaceModels::Load(data, error);
    if (!models) return Fail(QStringLiteral("cannot load the face models of %1: %2").arg(data, error));
    const std::vector<demo::DemoPerson> cast = demo::LoadDemoCast(examples, *models, error);
    if (cast.empty()) return Fail(QStringLiteral("the example faces cannot be used: %1").arg(error));

    // Written beside and renamed, so that an interrupted run leaves no half folder behind.
    const QString people = out.filePath(QStringLiteral("people"));
    const QString fresh = people + QStringLiteral(".new");
    QDir(fresh).removeRecursively();
    if (!demo::WriteEnrolFolders(cast, fresh, error)) return Fail(error);
    QDir(people).removeRecursively();
    if (!QDir().rename(fresh, people)) return Fail(QStringLiteral("cannot rename %1 to %2").arg(fresh, people));

    const demo::SceneTiming timing;
    const std::vector<demo::Scene> scenes = demo::DemoScenes(cast);
    const QString video = out.filePath(QStringLiteral("camera.mjpeg"));
    if (!demo::WriteMjpeg(scenes, timing, video, error)) return Fail(error);
    const int frames = demo::FrameCount(scenes, timing);
    std::printf("ostrovid-demo: %s: %d frames (%d s at %d frames a second), %zu scenes; enrolment pictures in %s\n",
                qUtf8Printable(video), frames, frames / demo::kFramesPerSecond, demo::kFramesPerSecond,
                scenes.size(), qUtf8Printable(people));
    return 0;
}

int Settings(int argc, char** argv) {
    std::vector<std::pair<QString, QString>> options;
    QStringList rest;
    if (!ReadOptions(argc, argv, 2, {"--camera-url", "--script", "--csv"}, options, rest) || !rest.isEmpty())
        return Usage("settings takes --camera-url, --script and --csv");
    demo::DemoSettings settings;
    settings.cameraUrl = Option(options, "--camera-url", {});
    settings.unknownScript = Option(options, "--script", {});
    settings.csvFolder = Option(options, "--csv", {});
    if (settings.cameraUrl.isEmpty() || settings.unknownScript.isEmpty() || settings.csvFolder.isEmpty())
        return Usage("settings needs --camera-url, --script and --csv");

    const QString path = platform::RegistryFilePath();
    platform::RegistryStore store(path);
    if (const int code = store.Load(); code != 0) return Fail(QStringLiteral("cannot read %1 (%2)").arg(path).arg(code));
    if (const int code = demo::WriteDemoSettings(store, settings); code != 0)
        return Fail(QStringLiteral("cannot set the demonstration's values (%1)").arg(code));
    if (const int code = store.Save(); code != 0) return Fail(QStringLiteral("cannot write %1 (%2)").arg(path).arg(code));
    std::printf("ostrovid-demo: %s: camera %s\n", qUtf8Printable(path), qUtf8Printable(settings.cameraUrl));
    return 0;
}

int Check() {
    const demo::FirstRunFinding finding = demo::InspectConfiguration(platform::RegistryFilePath());
    std::printf("ostrovid-demo: %s\n", qUtf8Printable(finding.reason));
    switch (finding.configuration) {
    case demo::Configuration::Fresh:
        return 0;
    case demo::Configuration::InUse:
        return 3;
    case demo::Configuration::Unknown:
        break;
    }
    return 4;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const char* verb = argc > 1 ? argv[1] : "";
    if (std::strcmp(verb, "make") == 0) return Make(argc, argv);
    if (std::strcmp(verb, "settings") == 0) return Settings(argc, argv);
    if (std::strcmp(verb, "check") == 0 && argc == 2) return Check();
    return Usage("make, settings or check");
}

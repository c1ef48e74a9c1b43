// The memory the descriptor networks take with the 16 prediction workers running: the models
// alone, the workers sharing the pooled networks (one per core), and the workers with a network
// each as before the pool. Each runs in a fresh process of this program (so that no freed memory
// is counted twice), describes the same faces through the workers, and reports its resident set
// size (VmRSS) and peak (VmHWM). Prints the figures and the pooled/own ratio from one run.
//
// network_memory_bench [FACES]   FACES: faces put through the workers in each process (64)

#include "app/recognition/face_models.h"
#include "app/recognition/predict_pool.h"
#include "settings/settings_hub.h"
#include "tests/support/match_every_face.h"
#include "tests/support/own_network_describer.h"

#include <opencv2/imgproc.hpp>

#include <unistd.h>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace recognition;

enum class Design { ModelsOnly, Pooled, OwnEach };

constexpr const char* kDesignNames[] = {"models", "pooled", "own"};

QString DataDir() {
    const char* env = std::getenv("OSTROVID_DATA_DIR");
    return env && *env ? QString::fromLocal8Bit(env) : QString(OSTROVID_DATA_DIR);
}

// A value in kB from /proc/self/status, 0 when absent.
long StatusKb(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long kb = 0;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            kb = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return kb;
}

// One process: loads the models for `design`, puts `faces` faces through the 16 workers and
// prints "rss_kb peak_kb faces_per_second".
int RunDesign(Design design, int64_t faces) {
    QString error;
    // Before the pool, the snapshot thread had a network of its own besides the workers': the one
    // idle pooled copy stands in for it.
    const PooledNetworks pooled = design == Design::OwnEach ? PooledNetworks{1} : PooledNetworks::ForThisMachine();
    const std::unique_ptr<FaceModels> models = FaceModels::Load(DataDir(), error, pooled);
    if (!models) {
        std::fprintf(stderr, "face models in %s: %s\n", qPrintable(DataDir()), qPrintable(error));
        return 1;
    }
    if (design == Design::ModelsOnly) {
        std::printf("%ld %ld 0\n", StatusKb("VmRSS"), StatusKb("VmHWM"));
        return 0;
    }
    cv::Mat frame;
    cv::resize(ReadPictureFile(DLIB_EXAMPLES_DIR "/faces/bald_guys.jpg"), frame, cv::Size(1280, 720), 0, 0,
               cv::INTER_AREA);
    const std::vector<FrameFace> found = models->DetectFaces(frame, PredictPool::kWorkerCount);
    if (found.empty()) return 1;

    std::unique_ptr<FaceNetwork> source = design == Design::OwnEach ? testsupport::LoadFaceNetwork(DataDir()) : nullptr;
    PredictPool::DescriberFactory describers = [&](int) -> std::unique_ptr<FaceDescriber> {
        if (design == Design::Pooled) return models->MakeDescriber();
        return std::make_unique<testsupport::OwnNetworkDescriber>(*models, source->Copy());
    };
    PersonModelSortedList persons;
    settings::SettingsHub hub;
    testsupport::MatchEveryFace(persons, hub);  // every face counts once it comes back
    platform::Event term(true, false);
    testsupport::CountingSink sink;
    PredictPool pool(term, sink, describers, persons, hub);
    if (!pool.Start()) return 1;
    // The loaded network made the own copies; only theirs stay, as in the program before the pool.
    source.reset();

    std::vector<DispatchSubject> subjects(found.size());
    std::vector<DispatchSubject*> pointers;
    for (size_t i = 0; i < found.size(); ++i) {
        subjects[i] = DispatchSubject{static_cast<uint32_t>(i + 1), found[i], 0, 0, 0};
        pointers.push_back(&subjects[i]);
    }
    const auto start = std::chrono::steady_clock::now();
    double now = 46000.0;
    while (sink.delivered.load(std::memory_order_relaxed) < faces) {
        now += 1.0 / 86400.0;
        pool.DispatchFaces(frame, pointers, now);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long rss = StatusKb("VmRSS"), peak = StatusKb("VmHWM");
    term.Set();
    pool.Stop();
    std::printf("%ld %ld %.2f\n", rss, peak, double(sink.delivered.load()) / seconds);
    return 0;
}

struct Figures {
    double rssMb = 0, peakMb = 0, facesPerSecond = 0;
};

// Runs this program again for one design and reads its figures; false when it failed.
bool Measure(Design design, int64_t faces, Figures& figures) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return false;
    self[length] = '\0';
    const std::string command =
        std::string("'") + self + "' --design=" + kDesignNames[int(design)] + " " + std::to_string(faces);
    FILE* child = popen(command.c_str(), "r");
    if (!child) return false;
    long rss = 0, peak = 0;
    double perSecond = 0;
    const int read = std::fscanf(child, "%ld %ld %lf", &rss, &peak, &perSecond);
    if (pclose(child) != 0 || read != 3) return false;
    figures = Figures{rss / 1024.0, peak / 1024.0, perSecond};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int64_t faces = 64;
    const char* designArgument = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--design=", 9) == 0) {
            designArgument = argv[i] + 9;
        } else {
            char* end = nullptr;
            faces = std::strtoll(argv[i], &end, 10);
            if (*end != '\0' || faces < 1) {
                std::fprintf(stderr, "usage: %s [FACES]\n", argv[0]);
                return 2;
            }
        }
    }
    if (designArgument) {
        for (int d = 0; d < 3; ++d)
            if (std::strcmp(designArgument, kDesignNames[d]) == 0) return RunDesign(Design(d), faces);
        return 2;
    }

    std::array<Figures, 3> figures;
    for (int d = 0; d < 3; ++d) {
        if (!Measure(Design(d), faces, figures[size_t(d)])) {
            std::fprintf(stderr, "the %s run failed\n", kDesignNames[d]);
            return 1;
        }
    }
    std::printf("Networks for 16 prediction workers, %lld faces each run, %u hardware threads\n",
                static_cast<long long>(faces), std::thread::hardware_concurrency());
    const char* rows[] = {"models loaded, no workers", "workers sharing the pool", "workers with a network each"};
    for (int d = 0; d < 3; ++d) {
        const Figures& f = figures[size_t(d)];
        std::printf("%-30s RSS %8.1f MB   peak %8.1f MB", rows[d], f.rssMb, f.peakMb);
        if (f.facesPerSecond > 0) std::printf("   %7.2f faces/s", f.facesPerSecond);
        std::putchar('\n');
    }
    const Figures& pooled = figures[size_t(Design::Pooled)];
    const Figures& own = figures[size_t(Design::OwnEach)];
    std::printf("pooled/own: RSS %.2f, peak %.2f, faces/s %.2f\n", pooled.rssMb / own.rssMb, pooled.peakMb / own.peakMb,
                pooled.facesPerSecond / own.facesPerSecond);
    return 0;
}

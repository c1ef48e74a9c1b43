// Face analysis figures: DetectFaces per frame at 640x480 and 1280x720 (Debian's bald_guys.jpg
// scaled), DescribeFace per face, faces per second through the 16 prediction workers (sharing the
// pooled networks, and with a network each as before the pool), and beside them dlib's own
// single-threaded recipe (detector, shape predictor, network on a batch of chips, and on one chip
// a call) on the same frames. Prints our/baseline ratios at the end, after the matching figures.

#include "app/recognition/face_models.h"
#include "app/recognition/face_network_type.h"
#include "app/recognition/predict_pool.h"
#include "settings/settings_hub.h"
#include "tests/support/match_every_face.h"
#include "tests/support/own_network_describer.h"

#include <benchmark/benchmark.h>

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/imgproc.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

extern "C" void openblas_set_num_threads(int threads);

namespace {

using namespace recognition;

constexpr int kSizes[2][2] = {{640, 480}, {1280, 720}};

struct Setup {
    std::unique_ptr<FaceModels> models;
    cv::Mat frames[2];
    std::vector<FrameFace> faces[2];
    // dlib's recipe: its own image copy in RGB order, detector, shape predictor and network.
    dlib::matrix<dlib::rgb_pixel> images[2];
    dlib::frontal_face_detector detector = dlib::get_frontal_face_detector();
    dlib::shape_predictor shapePredictor;
    net::anet_type network;
    // The source of the workers' own networks when each has one.
    std::unique_ptr<FaceNetwork> ownSource;
};

Setup& Get() {
    static Setup* setup = [] {
        auto s = new Setup;
        const char* env = std::getenv("OSTROVID_DATA_DIR");
        const QString data = env && *env ? QString::fromLocal8Bit(env) : QString(OSTROVID_DATA_DIR);
        QString error;
        s->models = FaceModels::Load(data, error);
        if (!s->models) {
            std::fprintf(stderr, "face models in %s: %s (scripts/prepare.sh makes them)\n", qPrintable(data),
                         qPrintable(error));
            std::exit(1);
        }
        const cv::Mat photo = ReadPictureFile(DLIB_EXAMPLES_DIR "/faces/bald_guys.jpg");
        if (photo.empty()) std::exit(1);
        for (int i = 0; i < 2; ++i) {
            cv::resize(photo, s->frames[i], cv::Size(kSizes[i][0], kSizes[i][1]), 0, 0, cv::INTER_AREA);
            s->faces[i] = s->models->DetectFaces(s->frames[i], 16);
            dlib::assign_image(s->images[i], dlib::cv_image<dlib::bgr_pixel>(s->frames[i]));
        }
        dlib::deserialize((data + "/" + kShapePredictor68File).toStdString()) >> s->shapePredictor;
        dlib::deserialize((data + "/" + kFaceNetworkFile).toStdString()) >> s->network;
        s->ownSource = testsupport::LoadFaceNetwork(data);
        if (!s->ownSource) std::exit(1);
        return s;
    }();
    return *setup;
}

// dlib's recipe runs with OpenBLAS as a plain program gets it, one thread per core; our own
// figures with the program's setting (one, made by FaceModels::Load).
class BaselineBlasThreads {
public:
    BaselineBlasThreads() { openblas_set_num_threads(static_cast<int>(std::thread::hardware_concurrency())); }
    ~BaselineBlasThreads() { openblas_set_num_threads(1); }
};

void BM_DetectFaces(benchmark::State& state) {
    Setup& s = Get();
    const int i = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(s.models->DetectFaces(s.frames[i], 16));
    state.counters["faces"] = static_cast<double>(s.faces[i].size());
}

void BM_BaselineDetect(benchmark::State& state) {
    Setup& s = Get();
    const int i = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(s.detector(s.images[i]));
}

// One face per iteration through the user-interface thread's describer.
void BM_DescribeFace(benchmark::State& state) {
    Setup& s = Get();
    const std::vector<FrameFace>& faces = s.faces[1];
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.models->InterfaceDescriber().Describe(s.frames[1], faces[next]));
        next = (next + 1) % faces.size();
    }
}

// dlib's recipe for the faces of one frame: landmarks, chips, one network call for all chips.
std::vector<dlib::matrix<float, 0, 1>> BaselineDescribe(Setup& s, net::anet_type& network,
                                                        const std::vector<dlib::rectangle>& found) {
    std::vector<dlib::matrix<dlib::rgb_pixel>> chips;
    for (const dlib::rectangle& face : found) {
        const dlib::full_object_detection shape = s.shapePredictor(s.images[1], face);
        dlib::matrix<dlib::rgb_pixel> chip;
        dlib::extract_image_chip(s.images[1], dlib::get_face_chip_details(shape, 150, 0.25), chip);
        chips.push_back(std::move(chip));
    }
    return network(chips);
}

std::vector<dlib::rectangle> Rectangles(const std::vector<FrameFace>& faces) {
    std::vector<dlib::rectangle> rects;
    for (const FrameFace& f : faces) rects.emplace_back(f.x, f.y, f.x + f.width - 1, f.y + f.height - 1);
    return rects;
}

void BM_BaselineDescribeFrameFaces(benchmark::State& state) {
    Setup& s = Get();
    const BaselineBlasThreads blas;
    const std::vector<dlib::rectangle> rects = Rectangles(s.faces[1]);
    for (auto _ : state) benchmark::DoNotOptimize(BaselineDescribe(s, s.network, rects));
    state.counters["faces"] = static_cast<double>(rects.size());
}

// dlib's recipe on every core at once, each thread with a network of its own and one OpenBLAS
// thread: what this machine's cores describe together, the ceiling of any worker design.
void BM_BaselineDescribeOnEveryCore(benchmark::State& state) {
    Setup& s = Get();
    if (state.thread_index() == 0) openblas_set_num_threads(1);
    net::anet_type network = s.network;
    const std::vector<dlib::rectangle> rects = Rectangles(s.faces[1]);
    for (auto _ : state) benchmark::DoNotOptimize(BaselineDescribe(s, network, rects));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * rects.size()));
}

// dlib's recipe one face a call with the program's one OpenBLAS thread: the describing path as it
// was before our own network layers.
void BM_BaselineDescribeOneFace(benchmark::State& state) {
    Setup& s = Get();
    const std::vector<dlib::rectangle> rects = Rectangles(s.faces[1]);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BaselineDescribe(s, s.network, {rects[next]}));
        next = (next + 1) % rects.size();
    }
}

// A whole 1280x720 frame on one thread: detection and every face's descriptor.
void BM_Frame(benchmark::State& state) {
    Setup& s = Get();
    for (auto _ : state) {
        for (const FrameFace& face : s.models->DetectFaces(s.frames[1], 16))
            benchmark::DoNotOptimize(s.models->InterfaceDescriber().Describe(s.frames[1], face));
    }
}

void BM_BaselineFrame(benchmark::State& state) {
    Setup& s = Get();
    const BaselineBlasThreads blas;
    for (auto _ : state) benchmark::DoNotOptimize(BaselineDescribe(s, s.network, s.detector(s.images[1])));
}

// Where the workers' describers take their network from.
enum class WorkerNetworks { Pooled = 0, OwnEach = 1 };

PredictPool::DescriberFactory WorkerDescribers(Setup& s, WorkerNetworks networks) {
    if (networks == WorkerNetworks::Pooled) return [&s](int) { return s.models->MakeDescriber(); };
    return [&s](int) { return std::make_unique<testsupport::OwnNetworkDescriber>(*s.models, s.ownSource->Copy()); };
}

// The 16 workers fed the faces of the 1280x720 frame as fast as they take them; every face is
// made a match so that each one is counted when it comes back. Arguments: OpenBLAS threads per
// call (0: one per core), WorkerNetworks.
void BM_PoolFacesPerSecond(benchmark::State& state) {
    Setup& s = Get();
    const int blasThreads =
        state.range(0) > 0 ? static_cast<int>(state.range(0)) : static_cast<int>(std::thread::hardware_concurrency());
    const auto networks = static_cast<WorkerNetworks>(state.range(1));
    openblas_set_num_threads(blasThreads);
    PersonModelSortedList persons;
    settings::SettingsHub hub;
    // Every face counts as a match, so the figure includes the result's delivery.
    testsupport::MatchEveryFace(persons, hub);
    platform::Event term(true, false);
    testsupport::CountingSink sink;
    PredictPool pool(term, sink, WorkerDescribers(s, networks), persons, hub);
    if (!pool.Start()) {
        state.SkipWithError("pool start");
        return;
    }
    std::vector<DispatchSubject> subjects(s.faces[1].size());
    std::vector<DispatchSubject*> pointers;
    for (size_t i = 0; i < subjects.size(); ++i) {
        subjects[i].id = static_cast<uint32_t>(i + 1);
        subjects[i].rectangle = s.faces[1][i];
        pointers.push_back(&subjects[i]);
    }
    constexpr int64_t kFacesPerIteration = 64;
    double now = 46000.0;
    int64_t target = 0;
    for (auto _ : state) {
        target += kFacesPerIteration;
        while (sink.delivered.load(std::memory_order_relaxed) < target) {
            now += 1.0 / 86400.0;  // every subject is due again
            pool.DispatchFaces(s.frames[1], pointers, now);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    term.Set();
    pool.Stop();
    state.SetItemsProcessed(sink.delivered.load());
    openblas_set_num_threads(1);
}

BENCHMARK(BM_DetectFaces)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BaselineDetect)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DescribeFace)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_BaselineDescribeFrameFaces)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_BaselineDescribeOneFace)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_BaselineDescribeOnEveryCore)
    ->Threads(static_cast<int>(std::thread::hardware_concurrency()))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(4);
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_BaselineFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_PoolFacesPerSecond)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(6);

// Keeps every run's time per iteration (ms) and counters for the summary.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            Figure& figure = figures[run.benchmark_name()];
            figure.ms = run.GetAdjustedRealTime();
            for (const auto& [name, counter] : run.counters) figure.counters[name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Figure {
        double ms = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Figure> figures;
};

void Ratio(const char* what, double ours, double baseline, const char* unit) {
    std::printf("%-34s ours %9.2f %-9s baseline %9.2f %-9s ours/baseline %.2f\n", what, ours, unit, baseline, unit,
                ours / baseline);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    auto& f = recorder.figures;
    auto ms = [&f](const std::string& name) { return f.count(name) ? f[name].ms : 0.0; };

    std::printf("\nSummary (real time, %u hardware threads)\n", std::thread::hardware_concurrency());
    for (int i = 0; i < 2; ++i) {
        const std::string arg = "/" + std::to_string(i) + "/real_time";
        const std::string what = "DetectFaces " + std::to_string(kSizes[i][0]) + "x" + std::to_string(kSizes[i][1]);
        if (ms("BM_DetectFaces" + arg) > 0)
            Ratio(what.c_str(), ms("BM_DetectFaces" + arg), ms("BM_BaselineDetect" + arg), "ms/frame");
    }
    const auto& batch = f["BM_BaselineDescribeFrameFaces/min_time:2.000/real_time"];
    const double batchFaces = batch.counters.count("faces") ? batch.counters.at("faces") : 0;
    const double ourFace = ms("BM_DescribeFace/min_time:2.000/real_time");
    if (ourFace > 0 && batchFaces > 0) Ratio("DescribeFace", ourFace, batch.ms / batchFaces, "ms/face");
    if (ourFace > 0 && ms("BM_BaselineDescribeOneFace/min_time:2.000/real_time") > 0)
        Ratio("DescribeFace vs recipe a face a call", ourFace, ms("BM_BaselineDescribeOneFace/min_time:2.000/real_time"),
              "ms/face");
    if (ms("BM_Frame/min_time:2.000/real_time") > 0)
        Ratio("1280x720 frame, detect + describe", ms("BM_Frame/min_time:2.000/real_time"),
              ms("BM_BaselineFrame/min_time:2.000/real_time"), "ms/frame");
    auto facesPerSecond = [&f](const std::string& threads, WorkerNetworks networks) {
        const auto it = f.find("BM_PoolFacesPerSecond/" + threads + "/" + std::to_string(int(networks)) +
                               "/iterations:6/real_time");
        if (it == f.end() || !it->second.counters.count("items_per_second")) return 0.0;
        return it->second.counters.at("items_per_second");
    };
    double everyCore = 0;
    for (const auto& [name, figure] : f)
        if (name.rfind("BM_BaselineDescribeOnEveryCore", 0) == 0 && figure.counters.count("items_per_second"))
            everyCore = figure.counters.at("items_per_second");
    if (everyCore > 0 && batchFaces > 0)
        std::printf("%-34s ours %9.2f faces/s   baseline %9.2f faces/s   ours/baseline %.2f\n",
                    "recipe on every core at once", everyCore, 1000.0 / (batch.ms / batchFaces),
                    everyCore / (1000.0 / (batch.ms / batchFaces)));
    for (const char* threads : {"1", "0"}) {
        const double pooled = facesPerSecond(threads, WorkerNetworks::Pooled);
        const double own = facesPerSecond(threads, WorkerNetworks::OwnEach);
        if (pooled <= 0 || ourFace <= 0 || batchFaces <= 0) continue;
        const double baseline = 1000.0 / (batch.ms / batchFaces);
        const std::string setting = std::string("OpenBLAS threads ") + (threads[0] == '0' ? "per core" : "1");
        std::printf("%-34s ours %9.2f faces/s   baseline %9.2f faces/s   ours/baseline %.2f\n",
                    ("16 workers, " + setting).c_str(), pooled, baseline, pooled / baseline);
        if (own > 0)
            std::printf("%-34s pooled %9.2f faces/s   own network each %9.2f faces/s   pooled/own %.2f\n",
                        ("16 workers, " + setting).c_str(), pooled, own, pooled / own);
        if (everyCore > 0)
            std::printf("%-34s pooled %9.2f faces/s   recipe on every core %9.2f faces/s   pooled/every core %.2f\n",
                        ("16 workers, " + setting).c_str(), pooled, everyCore, pooled / everyCore);
    }
    for (const char* samples : {"1000", "10000", "100000", "1000000"}) {
        const std::string arg = std::string("/") + samples + "/real_time";
        const double match = ms("BM_MatchDescriptor" + arg);
        if (match <= 0) continue;
        const double exact = f["BM_MatchDescriptor" + arg].counters["exact"];
        std::printf("MatchDescriptor %-8s samples       %9.3f ms/match, %.0f exact distances\n", samples, match, exact);
        const std::string what = std::string("MatchDescriptor ") + samples + " vs ";
        if (ms("BM_PlainLoop" + arg) > 0) Ratio((what + "plain loop").c_str(), match, ms("BM_PlainLoop" + arg), "ms");
        if (ms("BM_BatchedScan" + arg) > 0)
            Ratio((what + "batched scan").c_str(), match, ms("BM_BatchedScan" + arg), "ms");
        if (ms("BM_PackOneThread" + arg) > 0)
            Ratio((what + "its pass on one thread").c_str(), match, ms("BM_PackOneThread" + arg), "ms");
    }
    benchmark::Shutdown();
    return 0;
}

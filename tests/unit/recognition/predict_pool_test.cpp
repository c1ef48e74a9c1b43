#include "app/recognition/predict_pool.h"
#include "platform/log.h"
#include "settings/settings_hub.h"
#include "tests/support/log_lines.h"
#include "tests/support/refused_events.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

namespace recognition {
namespace {

using Clock = std::chrono::steady_clock;

// Lets describers through, or holds them until opened.
class Gate {
public:
    void Close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    void Open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void Pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        --waiting_;
        ++passed_;
    }
    bool WaitForWaiting(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return waiting_ >= count; });
    }
    int Passed() {
        std::lock_guard lock(mutex_);
        return passed_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
    int waiting_ = 0;
    int passed_ = 0;
};

// Describes every face as the all-zero descriptor after passing the gate.
class GatedDescriber : public FaceDescriber {
public:
    explicit GatedDescriber(Gate& gate) : gate_(gate) {}
    std::optional<DescribedFace> Describe(const cv::Mat&, const FrameFace&) override {
        gate_.Pass();
        return DescribedFace{FaceDescriptor{}, cv::Mat(150, 150, CV_8UC3, cv::Scalar(1, 2, 3))};
    }

private:
    Gate& gate_;
};

class CollectingSink : public RecognizedDataSink {
public:
    bool Deliver(int workerIndex, std::unique_ptr<RecognizedData> record) override {
        std::lock_guard lock(mutex_);
        workers.push_back(workerIndex);
        records.push_back(std::move(record));
        return true;
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return records.size();
    }

    std::mutex mutex_;
    std::vector<int> workers;
    std::vector<std::unique_ptr<RecognizedData>> records;
};

// Counts the OpenCV matrices alive, so freed results can be told from leaked ones.
class CountingAllocator : public cv::MatAllocator {
public:
    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step, cv::AccessFlag flags,
                           cv::UMatUsageFlags usage) const override {
        cv::UMatData* u = std_->allocate(dims, sizes, type, data, step, flags, usage);
        u->currAllocator = this;
        ++live;
        return u;
    }
    bool allocate(cv::UMatData* u, cv::AccessFlag flags, cv::UMatUsageFlags usage) const override {
        return std_->allocate(u, flags, usage);
    }
    void deallocate(cv::UMatData* u) const override {
        --live;
        std_->deallocate(u);
    }
    mutable std::atomic<int> live{0};

private:
    cv::MatAllocator* std_ = cv::Mat::getStdAllocator();
};

// The diagnostic log of one test, in a folder of its own.
class TestLog {
public:
    TestLog() { platform::SetLogFile(dir_.filePath("Ostrovid.log"), dir_.filePath("Ostrovid.log.1")); }
    ~TestLog() { platform::SetLogFile(QString(), QString()); }
    int Count(const QString& line) const {
        return testsupport::CountLines(testsupport::LogLines(dir_.filePath("Ostrovid.log")), line);
    }

private:
    QTemporaryDir dir_;
};

// Counts OpenCV's matrices for the life of the object.
class CountedMatrices {
public:
    CountedMatrices() : previous_(cv::Mat::getDefaultAllocator()) { cv::Mat::setDefaultAllocator(&counting_); }
    ~CountedMatrices() { cv::Mat::setDefaultAllocator(previous_); }
    int Live() const { return counting_.live.load(); }

private:
    CountingAllocator counting_;
    cv::MatAllocator* previous_;
};

constexpr double kBase = 46000.0;  // an OLE date
double At(double seconds) { return kBase + seconds / 86400.0; }

// A working set of one person whose one sample is 0 except for its first value.
PersonModelSortedList OnePerson(float firstValue = 0) {
    PersonModelSortedList models;
    auto person = std::make_unique<PersonModel>();
    FaceDescriptor sample;
    sample.values[0] = firstValue;
    person->descriptors.Append(std::make_unique<FaceDescriptor>(sample));
    models.Append(std::move(person));
    return models;
}

PredictPool::DescriberFactory Gated(Gate& gate) {
    return [&gate](int) { return std::make_unique<GatedDescriber>(gate); };
}

// The barrier under the dispatch lock, as the model synchronizer uses it.
void ExpectAllIdle() {
    platform::CriticalSectionLock lock(PredictDispatchLock);
    EXPECT_TRUE(WaitPredictThreadIddle());
}

TEST(PredictDispatchLock, WaitingForIdleWorkersWithoutItIsABrokenContract) {
    if (!platform::kContractsChecked) {
        GTEST_SKIP() << "contracts are compiled out in release builds; debug and sanitizer builds check them";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(WaitPredictThreadIddle(), "contract broken: .*WaitPredictThreadIddle needs PredictDispatchLock held");
}

class PredictPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto person = std::make_unique<PersonModel>();
        person->personId = 5;
        person->surname[0] = u'Ж';
        person->descriptors.Append(std::make_unique<FaceDescriptor>());
        models.Append(std::move(person));
        pool = std::make_unique<PredictPool>(
            term, sink, [this](int) { return std::make_unique<GatedDescriber>(gate); }, models, hub);
        ASSERT_TRUE(pool->Start());
        subjects.resize(20);
        for (uint32_t i = 0; i < subjects.size(); ++i) subjects[i].id = i + 1;
    }
    void TearDown() override {
        term.Set();
        gate.Open();
        pool.reset();
    }
    void Dispatch(std::initializer_list<int> indices, double now) {
        std::vector<DispatchSubject*> chosen;
        for (int i : indices) chosen.push_back(&subjects[i]);
        pool->DispatchFaces(frame, chosen, now);
    }
    // Every worker finished: the barrier under the dispatch lock, as the model synchronizer uses it.
    void Settle() {
        platform::CriticalSectionLock lock(PredictDispatchLock);
        ASSERT_TRUE(WaitPredictThreadIddle());
    }

    platform::Event term{true, false};
    Gate gate;
    CollectingSink sink;
    PersonModelSortedList models;
    settings::SettingsHub hub;
    std::unique_ptr<PredictPool> pool;
    std::vector<DispatchSubject> subjects;
    cv::Mat frame = cv::Mat(48, 64, CV_8UC3, cv::Scalar(9, 9, 9));
};

TEST_F(PredictPoolTest, IdleBarrierReturnsAtOnceAndKeepsWorkersAvailable) {
    Settle();  // the workers have started
    auto begin = Clock::now();
    Settle();
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(100));
    Dispatch({0}, At(0));
    Settle();
    ASSERT_EQ(sink.Count(), 1u);
    const RecognizedData& record = *sink.records[0];
    EXPECT_EQ(record.subjectId, 1u);
    EXPECT_EQ(record.personId, 5u);
    EXPECT_EQ(record.person.surname[0], u'Ж');
    EXPECT_EQ(record.distance, 0.0f);
    ASSERT_TRUE(record.picture);
    EXPECT_EQ(record.picture->rows, 150);
    EXPECT_EQ(sink.workers[0], 0);  // the first idle worker took it
}

TEST_F(PredictPoolTest, FacesBeyondSixteenBusyWorkersAreSkippedWithoutWaiting) {
    Settle();
    gate.Close();
    Dispatch({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, At(1));
    ASSERT_TRUE(gate.WaitForWaiting(16));
    auto begin = Clock::now();
    Dispatch({16, 17}, At(1));
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(100));
    EXPECT_EQ(subjects[16].lastHandOver, 0.0);
    // A subject still in a worker is not handed over again, whatever the time.
    Dispatch({0}, At(5));
    EXPECT_EQ(subjects[0].lastHandOver, At(1));
    gate.Open();
    Settle();
    Dispatch({16}, At(2));
    Settle();
    EXPECT_EQ(subjects[16].lastHandOver, At(2));
    EXPECT_EQ(gate.Passed(), 17);
    EXPECT_EQ(sink.Count(), 17u);
}

TEST_F(PredictPoolTest, OneSubjectIsDescribedAtMostTwicePerSecond) {
    Settle();
    std::vector<double> handOvers;
    for (int step = 0; step < 20; ++step) {
        const double t = step * 0.15;  // 0 .. 2.85 s, a frame every 150 ms
        double before = subjects[0].lastHandOver;
        Dispatch({0}, At(t));
        if (subjects[0].lastHandOver != before) handOvers.push_back(t);
        Settle();
    }
    ASSERT_EQ(handOvers.size(), 5u);
    for (size_t i = 1; i < handOvers.size(); ++i) EXPECT_GT(handOvers[i] - handOvers[i - 1], 0.5);
    EXPECT_EQ(gate.Passed(), 5);
}

TEST_F(PredictPoolTest, NothingIsDispatchedWhileNoPersonIsLoaded) {
    Settle();
    models.Clear();
    Dispatch({0}, At(1));
    EXPECT_EQ(subjects[0].lastHandOver, 0.0);
}

TEST(PredictPoolTermination, BusyWorkersFreeTheirResultsInsteadOfDelivering) {
    CountedMatrices matrices;
    TestLog log;
    {
        platform::Event term(true, false);
        Gate gate;
        CollectingSink sink;
        PersonModelSortedList models = OnePerson();
        settings::SettingsHub hub;
        PredictPool pool(term, sink, Gated(gate), models, hub);
        ASSERT_TRUE(pool.Start());
        ExpectAllIdle();
        cv::Mat frame(48, 64, CV_8UC3, cv::Scalar(1, 1, 1));
        std::vector<DispatchSubject> subjects(16);
        std::vector<DispatchSubject*> all;
        for (uint32_t i = 0; i < 16; ++i) {
            subjects[i].id = i + 1;
            all.push_back(&subjects[i]);
        }
        gate.Close();
        pool.DispatchFaces(frame, all, At(1));
        ASSERT_TRUE(gate.WaitForWaiting(16));
        term.Set();
        {
            platform::CriticalSectionLock lock(PredictDispatchLock);
            EXPECT_FALSE(WaitPredictThreadIddle());
        }
        gate.Open();
        pool.Stop();
        EXPECT_EQ(gate.Passed(), 16);
        EXPECT_EQ(sink.Count(), 0u);
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(
            log.Count(QString::asprintf("PredictThread %d: hTermEvent signaled. Deallocation Recognized Data.", i)), 1);
        EXPECT_EQ(log.Count(QString::asprintf("PredictThread %d: TermEvent signaled.", i)), 1);
        EXPECT_EQ(log.Count(QString::asprintf("PredictThread %d completed.", i)), 1);
    }
    EXPECT_EQ(matrices.Live(), 0);
}

// Each face is matched against LikelyDistance as the settings hold it at that moment.
TEST(PredictPoolSettings, FollowsTheCurrentLikelyDistance) {
    platform::Event term(true, false);
    Gate gate;
    CollectingSink sink;
    PersonModelSortedList models = OnePerson(0.4f);  // the describer's all-zero descriptor is 0.4 away
    settings::SettingsHub hub;
    PredictPool pool(term, sink, Gated(gate), models, hub);
    ASSERT_TRUE(pool.Start());
    cv::Mat frame(48, 64, CV_8UC3, cv::Scalar(1, 1, 1));
    DispatchSubject subject;
    subject.id = 1;
    DispatchSubject* subjects[] = {&subject};
    int second = 0;
    ExpectAllIdle();
    // 0.4f lies just above 0.40, so 40 is too tight.
    for (uint32_t likely : {35u, 50u, 41u, 40u}) {
        hub.Update([likely](settings::SettingsState& next) { next.recognition.LikelyDistance = likely; });
        pool.DispatchFaces(frame, subjects, At(++second));
        ExpectAllIdle();
    }
    EXPECT_EQ(gate.Passed(), 4);
    EXPECT_EQ(sink.Count(), 2u);
    term.Set();
    pool.Stop();
}

// The workers' network copies are made before any worker starts: one that cannot be made fails
// the start with the worker's lines, and no thread runs.
TEST(PredictPoolStart, ANetworkCopyThatCannotBeMadeFailsTheStartBeforeAnyWorkerRuns) {
    TestLog log;
    platform::Event term(true, false);
    Gate gate;
    CollectingSink sink;
    PersonModelSortedList models = OnePerson();
    settings::SettingsHub hub;
    PredictPool pool(
        term, sink,
        [&gate](int index) -> std::unique_ptr<FaceDescriber> {
            if (index == 7) throw std::bad_alloc();
            return std::make_unique<GatedDescriber>(gate);
        },
        models, hub);
    EXPECT_FALSE(pool.Start());
    EXPECT_EQ(log.Count("PredictThread 7: Недостаточно памяти в системе"), 1);
    EXPECT_EQ(log.Count("Error. Can't create PredictThread 7."), 1);
    EXPECT_EQ(log.Count("PredictThread 0 started."), 0);
    term.Set();
    pool.Stop();
}

// A worker whose events could not be made would fail its every wait at once: the start fails
// with the worker's line before any thread runs.
TEST(PredictPoolStart, EventsThatCannotBeMadeFailTheStartBeforeAnyWorkerRuns) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TestLog log;
            platform::Event term(true, false);
            Gate gate;
            CollectingSink sink;
            PersonModelSortedList models = OnePerson();
            settings::SettingsHub hub;
            if (!testsupport::RefuseNewEvents()) std::_Exit(2);
            PredictPool pool(term, sink, Gated(gate), models, hub);
            const bool refused = !pool.Start() && log.Count("Error. Can't create PredictThread 0.") == 1 &&
                                 log.Count("PredictThread 0 started.") == 0;
            std::fputs(refused ? "start refused\n" : "started without events\n", stderr);
            // Workers left spinning are ended with the process.
            std::_Exit(refused ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "start refused");
}

class RefusingSink : public RecognizedDataSink {
public:
    bool Deliver(int, std::unique_ptr<RecognizedData>) override {
        ++refused;
        return false;
    }
    std::atomic<int> refused{0};
};

TEST(PredictPoolDelivery, ARefusedResultIsFreedAndLogged) {
    CountedMatrices matrices;
    TestLog log;
    {
        platform::Event term(true, false);
        Gate gate;
        RefusingSink sink;
        PersonModelSortedList models = OnePerson();
        settings::SettingsHub hub;
        PredictPool pool(term, sink, Gated(gate), models, hub);
        ASSERT_TRUE(pool.Start());
        ExpectAllIdle();  // every worker has started
        cv::Mat frame(48, 64, CV_8UC3, cv::Scalar(1, 1, 1));
        DispatchSubject subject;
        subject.id = 3;
        DispatchSubject* subjects[] = {&subject};
        pool.DispatchFaces(frame, subjects, At(1));
        ExpectAllIdle();
        EXPECT_EQ(sink.refused.load(), 1);
        term.Set();
        pool.Stop();
    }
    EXPECT_EQ(matrices.Live(), 0);
    EXPECT_EQ(log.Count("PredictThread 0: SendNotifyMessage(WMU_RECOGNIZED_DATA) error."), 1);
    EXPECT_EQ(log.Count("PredictThread 15 started."), 1);
}

}  // namespace
}  // namespace recognition

#include "app/recognition/recognized_data_event.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <opencv2/core.hpp>

#include <thread>
#include <vector>

namespace recognition {
namespace {

class Viewport : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != RecognizedDataEvent::kType) return QObject::event(e);
        auto* posted = static_cast<RecognizedDataEvent*>(e);
        workers.push_back(posted->WorkerIndex());
        records.push_back(posted->TakeRecord());
        return true;
    }
    std::vector<int> workers;
    std::vector<std::unique_ptr<RecognizedData>> records;
};

std::unique_ptr<RecognizedData> Record(uint32_t subjectId, const cv::Mat& picture) {
    auto record = std::make_unique<RecognizedData>();
    record->subjectId = subjectId;
    record->picture = std::make_unique<cv::Mat>(picture);  // shares the pixels, counted by refcount
    return record;
}

class RecognizedDataPosting : public ::testing::Test {
protected:
    int argc = 1;
    char name[8] = "test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    PostingRecognizedDataSink sink;
    cv::Mat chip = cv::Mat(150, 150, CV_8UC3, cv::Scalar(1, 2, 3));
};

TEST_F(RecognizedDataPosting, ResultsFromWorkerThreadsArriveWithTheirWorkerIndex) {
    Viewport viewport;
    EXPECT_FALSE(sink.Deliver(0, Record(1, chip)));  // no viewport yet: refused, freed
    EXPECT_EQ(chip.u->refcount, 1);
    sink.SetReceiver(&viewport);
    std::vector<std::thread> workers;
    for (int index : {3, 11}) {
        workers.emplace_back([&, index] { EXPECT_TRUE(sink.Deliver(index, Record(100 + index, chip))); });
    }
    for (std::thread& worker : workers) worker.join();
    EXPECT_TRUE(viewport.records.empty());  // nothing is handled on the workers' threads
    QCoreApplication::processEvents();
    ASSERT_EQ(viewport.records.size(), 2u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(viewport.records[i]->subjectId, 100u + viewport.workers[i]);
    viewport.records.clear();
    EXPECT_EQ(chip.u->refcount, 1);
}

TEST_F(RecognizedDataPosting, RecordsQueuedForAViewportThatGoesAreFreed) {
    auto viewport = std::make_unique<Viewport>();
    sink.SetReceiver(viewport.get());
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(sink.Deliver(i, Record(1, chip)));
    EXPECT_EQ(chip.u->refcount, 6);
    sink.SetReceiver(nullptr);
    viewport.reset();
    EXPECT_EQ(chip.u->refcount, 1);
    EXPECT_FALSE(sink.Deliver(0, Record(2, chip)));
    QCoreApplication::processEvents();
    EXPECT_EQ(chip.u->refcount, 1);
}

}  // namespace
}  // namespace recognition

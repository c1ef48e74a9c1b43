#pragma once
// WMU_RECOGNIZED_DATA: a worker's result posted to the camera viewport as a Qt event that owns
// the record. Qt deletes events still queued for a receiver that is destroyed, which frees the
// record, just as a refused post does.

#include "app/recognition/recognized_data.h"

#include <QEvent>
#include <QObject>

#include <memory>
#include <mutex>

namespace recognition {

inline constexpr int WMU_RECOGNIZED_DATA = 218;  // WM_USER + 218

class RecognizedDataEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + WMU_RECOGNIZED_DATA);

    RecognizedDataEvent(int workerIndex, std::unique_ptr<RecognizedData> record);
    ~RecognizedDataEvent() override;

    int WorkerIndex() const { return workerIndex_; }  // the message's wParam
    // The receiver takes the record; the event frees it otherwise.
    std::unique_ptr<RecognizedData> TakeRecord() { return std::move(record_); }

private:
    int workerIndex_;
    std::unique_ptr<RecognizedData> record_;
};

// Posts results to the viewport object the user-interface thread registers. While none is
// registered (before the viewport exists, after it is gone) delivery fails and the worker frees
// the record.
class PostingRecognizedDataSink final : public RecognizedDataSink {
public:
    // User-interface thread; the viewport clears it (nullptr) before it is destroyed.
    void SetReceiver(QObject* receiver);
    bool Deliver(int workerIndex, std::unique_ptr<RecognizedData> record) override;

private:
    std::mutex mutex_;  // a receiver is never cleared while a post to it is under way
    QObject* receiver_ = nullptr;
};

}  // namespace recognition

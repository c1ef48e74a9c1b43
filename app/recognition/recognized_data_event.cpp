#include "app/recognition/recognized_data_event.h"

#include <QCoreApplication>

namespace recognition {

RecognizedDataEvent::RecognizedDataEvent(int workerIndex, std::unique_ptr<RecognizedData> record)
    : QEvent(kType), workerIndex_(workerIndex), record_(std::move(record)) {}

RecognizedDataEvent::~RecognizedDataEvent() = default;

void PostingRecognizedDataSink::SetReceiver(QObject* receiver) {
    std::lock_guard lock(mutex_);
    receiver_ = receiver;
}

bool PostingRecognizedDataSink::Deliver(int workerIndex, std::unique_ptr<RecognizedData> record) {
    std::lock_guard lock(mutex_);
    if (receiver_ == nullptr || QCoreApplication::instance() == nullptr) return false;
    // Posting takes the event whatever happens to it later; it never blocks on the receiver.
    QCoreApplication::postEvent(receiver_, new RecognizedDataEvent(workerIndex, std::move(record)));
    return true;
}

}  // namespace recognition

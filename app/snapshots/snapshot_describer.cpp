#include "app/snapshots/snapshot_describer.h"

#include "app/database/picture_files.h"
#include "platform/log.h"

#include <QFile>
#include <QMetaObject>
#include <opencv2/imgcodecs.hpp>

#include <new>

namespace snapshots {

std::optional<SnapshotRecord> MakeSnapshot(recognition::FaceDescriber& describer, const cv::Mat& frame,
                                           const recognition::FrameFace& face) {
    std::optional<recognition::DescribedFace> described = describer.Describe(frame, face);
    if (!described) return std::nullopt;
    SnapshotRecord record;
    {
        const database::TempPictureFile file(QStringLiteral(".jpg"));
        bool written = false;
        try {
            written = cv::imwrite(QFile::encodeName(file.Path()).toStdString(), described->chip);
        } catch (const cv::Exception&) {
            written = false;
        }
        if (!written || !record.thumbnail.load(file.Path())) {
            WriteLog(QStringLiteral("Ошибка сохранения снимка во временный файл."));
            return std::nullopt;
        }
    }
    record.chip = std::move(described->chip);
    record.descriptor = described->descriptor;
    return record;
}

SnapshotDescriber::SnapshotDescriber(std::unique_ptr<recognition::FaceDescriber> describer)
    : describer_(std::move(describer)), thread_([this] { Run(); }) {}

SnapshotDescriber::~SnapshotDescriber() { Stop(); }

void SnapshotDescriber::SetReceiver(Receiver receiver) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the snapshot receiver is set on the user-interface thread");
    receiver_ = std::move(receiver);
}

void SnapshotDescriber::Describe(const cv::Mat& frame, std::span<const recognition::FrameFace> faces) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "snapshots are requested on the user-interface thread");
    if (stopped_ || faces.empty() || frame.empty()) return;
    Job job{frame.clone(), {faces.begin(), faces.end()}};
    inFlight_ += static_cast<int>(job.faces.size());
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

int SnapshotDescriber::FacesInFlight() const {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the count belongs to the user-interface thread");
    return inFlight_;
}

void SnapshotDescriber::Stop() {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the snapshot thread is stopped from the user-interface thread");
    stopped_ = true;
    receiver_ = nullptr;
    inFlight_ = 0;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void SnapshotDescriber::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        std::vector<SnapshotRecord> records;
        for (const recognition::FrameFace& face : job.faces) {
            if (stop_) return;
            try {
                if (std::optional<SnapshotRecord> record = MakeSnapshot(*describer_, job.frame, face))
                    records.push_back(std::move(*record));
            } catch (const std::bad_alloc&) {
                WriteLog(QStringLiteral("Недостаточно памяти в системе"));
            }
        }
        const int faces = static_cast<int>(job.faces.size());
        // Stop() joins this thread before delivery_ goes, and a call still queued then goes with it.
        QMetaObject::invokeMethod(
            &delivery_, [this, records = std::move(records), faces]() mutable { Arrived(std::move(records), faces); },
            Qt::QueuedConnection);
    }
}

void SnapshotDescriber::Arrived(std::vector<SnapshotRecord> records, int faces) {
    if (stopped_) return;
    inFlight_ -= faces;
    if (!records.empty() && receiver_) receiver_(std::move(records));
}

}  // namespace snapshots

#include "app/recognition/recognized_list.h"

#include "platform/hostinfo.h"
#include "platform/log.h"
#include "platform/paths.h"

#include <opencv2/imgcodecs.hpp>

#include <QFile>
#include <algorithm>

namespace recognition {

bool MakeThumbnail(const cv::Mat& picture, cv::Mat* thumbnail) {
    const QString path =
        platform::TempFolder() + QStringLiteral("ostv") + platform::NewGuidText() + QStringLiteral(".jpg");
    const std::string file = path.toStdString();
    bool written = false;
    try {
        written = !picture.empty() && cv::imwrite(file, picture, {cv::IMWRITE_JPEG_QUALITY, 100});
    } catch (const cv::Exception&) {
        written = false;
    }
    if (!written) {
        QFile::remove(path);
        WriteLog(QStringLiteral("HandleCameraViewportRecognizedData: Ошибка сохранения Mat во временный файл."));
        return false;
    }
    *thumbnail = cv::imread(file, cv::IMREAD_COLOR);
    QFile::remove(path);
    return true;
}

RecognizedListItem* RecognizedPersonsList::InsertAtTop(std::unique_ptr<RecognizedListItem> item) {
    while (items_.size() >= kCapacity) items_.pop_back();
    item->serial = ++lastSerial_;
    items_.push_front(std::move(item));
    return items_.front().get();
}

int RecognizedPersonsList::RowOf(RecognizedEntryRef ref) const {
    for (size_t row = 0; row < items_.size(); ++row) {
        if (items_[row].get() == ref.item) return items_[row]->serial == ref.serial ? int(row) : -1;
    }
    return -1;
}

RecognizedListItem* RecognizedPersonsList::Find(RecognizedEntryRef ref) {
    const int row = RowOf(ref);
    return row < 0 ? nullptr : items_[size_t(row)].get();
}

bool RecognizedPersonsList::Remove(RecognizedEntryRef ref) {
    const int row = RowOf(ref);
    if (row < 0) return false;
    items_.erase(items_.begin() + row);
    return true;
}

}  // namespace recognition

#include "settings/station_list.h"

#include "platform/log.h"

#include <algorithm>
#include <new>

namespace settings {

namespace {
constexpr uint32_t kStationChars = 256;
}

QStringList LoadStationList(const platform::RegistryStore& store, const QString& key) {
    QStringList stations;
    try {
        for (int k = 0;; ++k) {
            char16_t buffer[kStationChars] = {};
            uint32_t size = sizeof(buffer);
            platform::RegType type = platform::RegType::None;
            if (store.QueryValue(key, QString::number(k), &type, buffer, &size) != 0 || type != platform::RegType::Sz)
                break;
            buffer[kStationChars - 1] = u'\0';
            const QString name = QString::fromUtf16(buffer).trimmed();
            if (!name.isEmpty()) stations.append(name);
        }
    } catch (const std::bad_alloc&) {
        WriteLog(QStringLiteral("Недостаточно памяти в системе"));
    }
    // QString's operator< compares UTF-16 code units.
    std::sort(stations.begin(), stations.end());
    return stations;
}

}  // namespace settings

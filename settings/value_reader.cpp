#include "settings/value_reader.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace settings {

using platform::RegType;

bool ValueReader::Dword(const QString& name, uint32_t* value) const {
    uint32_t data = 0;
    uint32_t size = sizeof(data);
    if (store_.QueryValue(key_, name, nullptr, &data, &size) != 0) return false;
    *value = data;
    return true;
}

uint32_t ValueReader::DwordOr(const QString& name, uint32_t fallback) const {
    uint32_t value = fallback;
    Dword(name, &value);
    return value;
}

int32_t ValueReader::IntOr(const QString& name, int32_t fallback) const {
    return int32_t(DwordOr(name, uint32_t(fallback)));
}

void ValueReader::KeepDword(const QString& name, int32_t* field) const { *field = IntOr(name, *field); }

void ValueReader::KeepDword(const QString& name, uint32_t* field) const { *field = DwordOr(name, *field); }

double ValueReader::DoubleOr(const QString& name, double fallback) const {
    double data = 0;
    uint32_t size = sizeof(data);
    if (store_.QueryValue(key_, name, nullptr, &data, &size) != 0 || !std::isfinite(data)) return fallback;
    return data;
}

bool ValueReader::Text(const QString& name, char16_t* field, size_t chars) const {
    std::vector<char16_t> buffer(chars, u'\0');
    uint32_t size = uint32_t(chars * sizeof(char16_t));
    if (store_.QueryValue(key_, name, nullptr, buffer.data(), &size) != 0) return false;
    buffer[chars - 1] = u'\0';
    std::memcpy(field, buffer.data(), chars * sizeof(char16_t));
    return true;
}

ReadResult ValueReader::TypedDword(const QString& name, int32_t* value) const {
    int32_t data = 0;
    uint32_t size = sizeof(data);
    RegType type = RegType::None;
    const int rc = store_.QueryValue(key_, name, &type, &data, &size);
    if (rc == 2) return ReadResult::Missing;
    if (type != RegType::Dword || rc != 0 || size != sizeof(data)) return ReadResult::WrongType;
    *value = data;
    return ReadResult::Ok;
}

ReadResult ValueReader::TypedText(const QString& name, char16_t* field, size_t chars) const {
    std::vector<char16_t> buffer(chars, u'\0');
    uint32_t size = uint32_t(chars * sizeof(char16_t));
    RegType type = RegType::None;
    const int rc = store_.QueryValue(key_, name, &type, buffer.data(), &size);
    if (rc == 2) return ReadResult::Missing;
    if (type != RegType::Sz) return ReadResult::WrongType;
    // Text that does not fit its field counts as missing.
    if (rc != 0) return ReadResult::Missing;
    buffer[chars - 1] = u'\0';
    std::memcpy(field, buffer.data(), chars * sizeof(char16_t));
    return ReadResult::Ok;
}

}  // namespace settings

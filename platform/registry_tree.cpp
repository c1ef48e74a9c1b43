#include "platform/registry_tree.h"

#include <algorithm>

namespace platform::regtree {
namespace {

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool IsKeyNameCharacter(char16_t c) { return c >= 0x20 && c != 0x7f && c != u'\\'; }

}  // namespace

bool SameName(QStringView a, QStringView b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](QChar x, QChar y) {
               return AsciiUpper(x.unicode()) == AsciiUpper(y.unicode());
           });
}

bool IsWellFormedText(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isNull()) return false;
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()) return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

std::optional<QStringList> SplitKeyPath(const QString& path) {
    if (path.isEmpty()) return QStringList{};
    const QStringList names = path.split(u'\\');
    for (const QString& name : names) {
        if (name.isEmpty() || !IsWellFormedText(name)) return std::nullopt;
        if (!std::all_of(name.begin(), name.end(), [](QChar c) { return IsKeyNameCharacter(c.unicode()); }))
            return std::nullopt;
    }
    return names;
}

QByteArray StringData(QStringView text) {
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (QChar c : text) {
        data.append(char(c.unicode() & 0xff));
        data.append(char(c.unicode() >> 8));
    }
    data.append(2, '\0');
    return data;
}

std::optional<QString> TextOfStringData(const QByteArray& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    QString text;
    const qsizetype units = data.size() / 2 - 1;
    text.reserve(units);
    for (qsizetype i = 0; i <= units; ++i) {
        const char16_t unit = char16_t(uint8_t(data[2 * i]) | uint8_t(data[2 * i + 1]) << 8);
        if ((unit == 0) != (i == units)) return std::nullopt;
        if (i < units) text.append(QChar(unit));
    }
    if (!IsWellFormedText(text)) return std::nullopt;
    return text;
}

Key* Key::FindSubkey(QStringView subkeyName) const {
    for (const auto& subkey : subkeys)
        if (SameName(subkey->name, subkeyName)) return subkey.get();
    return nullptr;
}

Key& Key::FindOrAddSubkey(const QString& subkeyName) {
    if (Key* existing = FindSubkey(subkeyName)) return *existing;
    subkeys.push_back(std::make_unique<Key>());
    subkeys.back()->name = subkeyName;
    return *subkeys.back();
}

bool Key::RemoveSubkey(QStringView subkeyName) {
    const auto it = std::find_if(subkeys.begin(), subkeys.end(),
                                 [&](const auto& subkey) { return SameName(subkey->name, subkeyName); });
    if (it == subkeys.end()) return false;
    subkeys.erase(it);
    return true;
}

const Value* Key::FindValue(QStringView valueName) const {
    for (const Value& value : values)
        if (SameName(value.name, valueName)) return &value;
    return nullptr;
}

void Key::PutValue(const QString& valueName, RegType type, const QByteArray& data) {
    for (Value& value : values) {
        if (SameName(value.name, valueName)) {
            value.type = type;
            value.data = data;
            return;
        }
    }
    values.push_back(Value{valueName, type, data});
}

bool Key::RemoveValue(QStringView valueName) {
    const auto it =
        std::find_if(values.begin(), values.end(), [&](const Value& value) { return SameName(value.name, valueName); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

}  // namespace platform::regtree

#pragma once
// The in-memory key tree of the settings store. Names compare without regard to ASCII letter
// case and keep the spelling they were created with; children keep their creation order.

#include "platform/registry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

namespace platform::regtree {

struct Value {
    QString name;
    RegType type = RegType::None;
    QByteArray data;
};

struct Key {
    QString name;
    std::vector<std::unique_ptr<Key>> subkeys;
    std::vector<Value> values;

    Key* FindSubkey(QStringView subkeyName) const;
    Key& FindOrAddSubkey(const QString& subkeyName);
    bool RemoveSubkey(QStringView subkeyName);

    const Value* FindValue(QStringView valueName) const;
    // Replaces the data of a value of that name in place, or appends a new value.
    void PutValue(const QString& valueName, RegType type, const QByteArray& data);
    bool RemoveValue(QStringView valueName);
};

bool SameName(QStringView a, QStringView b);

// No NUL and no unpaired surrogate: text that survives the trip through UTF-8.
bool IsWellFormedText(QStringView text);

// The names of a path "A\B\C"; empty for the hive root (""); nothing when a name is empty or holds
// a character a key name cannot have (control characters, NUL, unpaired surrogates).
std::optional<QStringList> SplitKeyPath(const QString& path);

// REG_SZ data (UTF-16LE with its NUL) for a text, and back; the latter gives nothing for data
// that is not one well-formed NUL-terminated string.
QByteArray StringData(QStringView text);
std::optional<QString> TextOfStringData(const QByteArray& data);

}  // namespace platform::regtree

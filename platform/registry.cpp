#include "platform/registry.h"

#include "platform/atomic_file.h"
#include "platform/log.h"
#include "platform/regfile_format.h"
#include "platform/syserror.h"

#include <QFile>
#include <QtEndian>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Names compare without regard to ASCII letter case, as the registry does.
QString Folded(QStringView name) {
    QString out(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        out[i] = QChar(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
    }
    return out;
}

QString Normalized(const QString& path) {
    QString out = path;
    while (out.endsWith(u'\\')) out.chop(1);
    while (out.startsWith(u'\\')) out.remove(0, 1);
    return out;
}

QString ParentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'\\');
    return slash < 0 ? QString() : path.left(slash);
}

// Holds the store's lock file for the lifetime of a save.
class StoreLock {
public:
    explicit StoreLock(const QString& storePath) {
        fd_ = open(QFile::encodeName(storePath + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~StoreLock() {
        if (fd_ >= 0) close(fd_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace

struct RegistryStore::Tree {
    std::vector<RegKeyRecord> keys;  // in creation order

    RegKeyRecord* Find(const QString& path) {
        const QString folded = Folded(Normalized(path));
        for (RegKeyRecord& key : keys) {
            if (Folded(key.path) == folded) return &key;
        }
        return nullptr;
    }
    const RegKeyRecord* Find(const QString& path) const { return const_cast<Tree*>(this)->Find(path); }

    RegKeyRecord& Create(const QString& path) {
        if (RegKeyRecord* existing = Find(path)) return *existing;
        const QString parent = ParentOf(path);
        if (!parent.isEmpty()) Create(parent);
        keys.push_back({path, {}});
        return keys.back();
    }

    static RegValueRecord* FindValue(RegKeyRecord& key, const QString& name) {
        const QString folded = Folded(name);
        for (RegValueRecord& value : key.values) {
            if (Folded(value.name) == folded) return &value;
        }
        return nullptr;
    }
};

RegistryStore::RegistryStore(QString path) : path_(std::move(path)), tree_(std::make_unique<Tree>()) {}

RegistryStore::~RegistryStore() = default;

int RegistryStore::Load() {
    tree_->keys.clear();
    QByteArray bytes;
    const int error = ReadWholeFile(path_, &bytes);
    if (error == kErrorFileNotFound || error == kErrorPathNotFound) return 0;
    if (error != 0) return error;

    const ParsedRegText parsed = ParseRegText(bytes);
    if (parsed.damagedLine != 0) {
        WriteLog(QStringLiteral("Settings store %1 is damaged at line %2; the values from there on are missing.")
                     .arg(path_)
                     .arg(parsed.damagedLine));
    }
    // Merging through the tree gives a key named twice one record and keeps the last value
    // of a name given twice.
    for (const RegKeyRecord& key : parsed.keys) {
        RegKeyRecord& target = tree_->Create(key.path);
        for (const RegValueRecord& value : key.values) {
            if (RegValueRecord* existing = Tree::FindValue(target, value.name)) *existing = value;
            else target.values.push_back(value);
        }
    }
    return 0;
}

int RegistryStore::Save() const {
    StoreLock lock(path_);
    return ReplaceFileAtomically(path_, FormatRegText(tree_->keys), 0644);
}

bool RegistryStore::KeyExists(const QString& key) const {
    return Normalized(key).isEmpty() || tree_->Find(key) != nullptr;
}

int RegistryStore::CreateKey(const QString& key) {
    const QString path = Normalized(key);
    if (path.isEmpty() || path.contains(QStringLiteral("\\\\"))) return kErrorInvalidParameter;
    tree_->Create(path);
    return 0;
}

int RegistryStore::DeleteTree(const QString& key) {
    const QString path = Folded(Normalized(key));
    if (path.isEmpty() || !tree_->Find(key)) return kErrorFileNotFound;
    const QString below = path + u'\\';
    std::erase_if(tree_->keys, [&](const RegKeyRecord& record) {
        const QString folded = Folded(record.path);
        return folded == path || folded.startsWith(below);
    });
    return 0;
}

QStringList RegistryStore::SubkeyNames(const QString& key) const {
    const QString parent = Folded(Normalized(key));
    QStringList names;
    for (const RegKeyRecord& record : tree_->keys) {
        if (Folded(ParentOf(record.path)) == parent) names << record.path.mid(record.path.lastIndexOf(u'\\') + 1);
    }
    return names;
}

QStringList RegistryStore::ValueNames(const QString& key) const {
    QStringList names;
    if (const RegKeyRecord* record = tree_->Find(key)) {
        for (const RegValueRecord& value : record->values) names << value.name;
    }
    return names;
}

int RegistryStore::SetValue(const QString& key, const QString& name, RegType type, const QByteArray& data) {
    RegKeyRecord* record = tree_->Find(key);
    if (!record) return kErrorFileNotFound;
    if (RegValueRecord* existing = Tree::FindValue(*record, name)) {
        existing->type = type;
        existing->data = data;
    } else {
        record->values.push_back({name, type, data});
    }
    return 0;
}

int RegistryStore::SetDword(const QString& key, const QString& name, uint32_t value) {
    QByteArray data(4, '\0');
    qToLittleEndian(value, data.data());
    return SetValue(key, name, RegType::Dword, data);
}

int RegistryStore::SetString(const QString& key, const QString& name, const QString& value) {
    return SetValue(key, name, RegType::Sz, StringData(value));
}

int RegistryStore::SetBinary(const QString& key, const QString& name, const QByteArray& value) {
    return SetValue(key, name, RegType::Binary, value);
}

int RegistryStore::DeleteValue(const QString& key, const QString& name) {
    RegKeyRecord* record = tree_->Find(key);
    if (!record) return kErrorFileNotFound;
    const QString folded = Folded(name);
    const auto erased = std::erase_if(record->values, [&](const RegValueRecord& value) { return Folded(value.name) == folded; });
    return erased > 0 ? 0 : kErrorFileNotFound;
}

int RegistryStore::QueryValue(const QString& key, const QString& name, RegType* type, void* buffer, uint32_t* size) const {
    RegKeyRecord* record = const_cast<Tree&>(*tree_).Find(key);
    RegValueRecord* value = record ? Tree::FindValue(*record, name) : nullptr;
    if (!value) return kErrorFileNotFound;
    if (type) *type = value->type;
    const auto needed = static_cast<uint32_t>(value->data.size());
    if (!size) return buffer ? kErrorInvalidParameter : 0;
    if (!buffer) {
        *size = needed;
        return 0;
    }
    if (*size < needed) {
        *size = needed;
        return kErrorMoreData;
    }
    std::memcpy(buffer, value->data.constData(), needed);
    *size = needed;
    return 0;
}

}  // namespace platform

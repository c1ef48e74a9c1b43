#include "platform/registry.h"

#include "platform/locked_file_write.h"
#include "platform/log.h"
#include "platform/regfile_format.h"
#include "platform/registry_tree.h"
#include "platform/syserror.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace platform {

struct RegistryStore::Tree {
    regtree::Key root;

    // The key at the path, or null when it is missing or the path is not a valid key path.
    regtree::Key* Find(const QString& path) const {
        const std::optional<QStringList> names = regtree::SplitKeyPath(path);
        if (!names) return nullptr;
        const regtree::Key* key = &root;
        for (const QString& name : *names) {
            key = key->FindSubkey(name);
            if (!key) return nullptr;
        }
        return const_cast<regtree::Key*>(key);
    }
};

namespace {

// Reads the whole file; a missing file reads as empty.
int ReadStoreFile(const QString& path, QByteArray* contents) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? kErrorSuccess : ErrorCodeFromErrno(errno);
    char chunk[65536];
    int rc = kErrorSuccess;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) rc = ErrorCodeFromErrno(errno);
        if (got <= 0) break;
        contents->append(chunk, got);
    }
    ::close(fd);
    return rc;
}

bool IsValidData(RegType type, const QByteArray& data) {
    switch (type) {
    case RegType::Dword:
        return data.size() == 4;
    case RegType::Sz:
        return regtree::TextOfStringData(data).has_value();
    case RegType::Binary:
        return true;
    case RegType::None:
        break;
    }
    return false;
}

}  // namespace

RegistryStore::RegistryStore(QString path) : path_(std::move(path)), tree_(std::make_unique<Tree>()) {}

RegistryStore::~RegistryStore() = default;

int RegistryStore::Load() {
    tree_ = std::make_unique<Tree>();
    damagedLine_ = 0;
    QByteArray contents;
    if (const int rc = ReadStoreFile(path_, &contents); rc != kErrorSuccess) return rc;
    damagedLine_ = regfile::Parse(contents, tree_->root);
    if (damagedLine_ != 0) {
        WriteLog(QStringLiteral("Settings store %1 is damaged at line %2; the values after it are missing.")
                     .arg(path_)
                     .arg(damagedLine_));
    }
    return kErrorSuccess;
}

StoreIntegrity RegistryStore::Integrity() const {
    return damagedLine_ == 0 ? StoreIntegrity::Whole : StoreIntegrity::Damaged;
}

int RegistryStore::DamagedLine() const { return damagedLine_; }

int RegistryStore::Save() const {
    if (damagedLine_ != 0) return kErrorInvalidData;
    return WriteFileUnderLock(path_, regfile::Format(tree_->root), FileReaders::Operators);
}

bool RegistryStore::KeyExists(const QString& key) const { return tree_->Find(key) != nullptr; }

int RegistryStore::CreateKey(const QString& key) {
    const std::optional<QStringList> names = regtree::SplitKeyPath(key);
    if (!names) return kErrorInvalidParameter;
    regtree::Key* current = &tree_->root;
    for (const QString& name : *names) current = &current->FindOrAddSubkey(name);
    return kErrorSuccess;
}

int RegistryStore::DeleteTree(const QString& key) {
    const std::optional<QStringList> names = regtree::SplitKeyPath(key);
    if (!names || names->isEmpty()) return kErrorInvalidParameter;
    regtree::Key* parent = tree_->Find(names->mid(0, names->size() - 1).join(u'\\'));
    if (!parent || !parent->RemoveSubkey(names->back())) return kErrorFileNotFound;
    return kErrorSuccess;
}

QStringList RegistryStore::SubkeyNames(const QString& key) const {
    QStringList names;
    if (const regtree::Key* found = tree_->Find(key))
        for (const auto& subkey : found->subkeys) names.append(subkey->name);
    return names;
}

QStringList RegistryStore::ValueNames(const QString& key) const {
    QStringList names;
    if (const regtree::Key* found = tree_->Find(key))
        for (const regtree::Value& value : found->values) names.append(value.name);
    return names;
}

int RegistryStore::SetValue(const QString& key, const QString& name, RegType type, const QByteArray& data) {
    // The hive root has no line of its own in the file, so it holds no values.
    if (key.isEmpty() || !regtree::IsWellFormedText(name) || !IsValidData(type, data)) return kErrorInvalidParameter;
    regtree::Key* found = tree_->Find(key);
    if (!found) return kErrorFileNotFound;
    found->PutValue(name, type, data);
    return kErrorSuccess;
}

int RegistryStore::SetDword(const QString& key, const QString& name, uint32_t value) {
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = char(value >> (8 * i));
    return SetValue(key, name, RegType::Dword, data);
}

int RegistryStore::SetString(const QString& key, const QString& name, const QString& value) {
    return SetValue(key, name, RegType::Sz, regtree::StringData(value));
}

int RegistryStore::SetBinary(const QString& key, const QString& name, const QByteArray& value) {
    return SetValue(key, name, RegType::Binary, value);
}

int RegistryStore::DeleteValue(const QString& key, const QString& name) {
    regtree::Key* found = tree_->Find(key);
    if (!found || !found->RemoveValue(name)) return kErrorFileNotFound;
    return kErrorSuccess;
}

int RegistryStore::QueryValue(const QString& key, const QString& name, RegType* type, void* buffer,
                              uint32_t* size) const {
    const regtree::Key* found = tree_->Find(key);
    const regtree::Value* value = found ? found->FindValue(name) : nullptr;
    if (type) *type = value ? value->type : RegType::None;
    if (!value) return kErrorFileNotFound;
    if (!size) return buffer ? kErrorInvalidParameter : kErrorSuccess;
    const auto needed = static_cast<uint32_t>(value->data.size());
    const uint32_t available = *size;
    *size = needed;
    if (!buffer) return kErrorSuccess;
    if (available < needed) return kErrorMoreData;
    if (needed > 0) std::memcpy(buffer, value->data.constData(), needed);
    return kErrorSuccess;
}

}  // namespace platform

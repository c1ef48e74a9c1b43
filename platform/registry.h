#pragma once
// The machine-wide settings store that stands in for HKEY_LOCAL_MACHINE: a tree of keys holding
// typed values, kept in one UTF-8 text file in .reg syntax. The program opens it read-only once at
// start-up; the service is its only writer and rewrites the file atomically after every change.
//
// Key paths are relative to the hive root and use '\' ("SOFTWARE\Vektra\Ostrovid\Camera\0").
// Key and value names compare without regard to ASCII letter case. Every call returns a Windows
// error code (platform/syserror.h): 0 success, 2 missing key or value, 234 buffer too small, ...

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace platform {

enum class RegType : uint32_t {
    None = 0,
    Sz = 1,      // REG_SZ: UTF-16 text; its data length counts the terminating NUL
    Binary = 3,  // REG_BINARY
    Dword = 4,   // REG_DWORD: 32 bits, little-endian
};

// Whether the last Load read the whole file.
enum class StoreIntegrity {
    Whole,    // every line was read (a missing file is a whole, empty store)
    Damaged,  // reading stopped at a damaged line; what follows it is missing from the tree
};

class RegistryStore {
public:
    // A store over the file at `path` (usually RegistryFilePath()). Nothing is read yet.
    explicit RegistryStore(QString path);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Reads the file. A missing file is an empty store (success). A damaged or truncated file
    // is logged once and what could be read before the damage is kept; values past it are
    // missing, and Integrity() says Damaged: such a tree must not be saved over the file, or the
    // rest is lost. Returns 0, or the code of a file that exists but cannot be read.
    int Load();
    StoreIntegrity Integrity() const;
    // The 1-based line where reading stopped, 0 for a whole store.
    int DamagedLine() const;

    // Writes the whole store to the file: a temporary file beside it, fsync, rename, all under
    // an exclusive lock on "<path>.lock", so readers see the old or the new file, never a mix.
    // The file is mode 0640 with the group "ostrovid". A store whose Load found damage is not
    // saved (13): the tree lacks what followed the damage.
    int Save() const;

    bool KeyExists(const QString& key) const;
    // Creates the key and every missing key above it.
    int CreateKey(const QString& key);
    // Removes the key with all its subkeys and values; 2 when it does not exist.
    int DeleteTree(const QString& key);
    // Names of the direct subkeys and of the values, in the order they were created.
    QStringList SubkeyNames(const QString& key) const;
    QStringList ValueNames(const QString& key) const;

    // Sets a value in an existing key (2 when the key is missing). `data` is the value's
    // bytes: 4 for a DWORD, UTF-16LE with the NUL for a string.
    int SetValue(const QString& key, const QString& name, RegType type, const QByteArray& data);
    int SetDword(const QString& key, const QString& name, uint32_t value);
    int SetString(const QString& key, const QString& name, const QString& value);
    int SetBinary(const QString& key, const QString& name, const QByteArray& value);
    // 2 when the value does not exist.
    int DeleteValue(const QString& key, const QString& name);

    // RegQueryValueEx: on entry *size is the buffer's size in bytes (buffer may be null to
    // ask for the size only). 0 when the data fitted and was copied; 234 when the buffer is too
    // small (nothing is copied, *size holds the size needed); 2 when key or value is missing.
    // The type is stored through `type` when it is not null, whatever the result.
    int QueryValue(const QString& key, const QString& name, RegType* type, void* buffer, uint32_t* size) const;

private:
    struct Tree;
    QString path_;
    std::unique_ptr<Tree> tree_;
    int damagedLine_ = 0;
};

}  // namespace platform

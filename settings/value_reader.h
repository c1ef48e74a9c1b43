#pragma once
// Reads single values of one store key into fixed-size settings fields the way the registry
// API does: a value is queried into a buffer of the field's size, so one that is missing or does
// not fit fails.

#include "platform/registry.h"

#include <cstddef>
#include <cstdint>

namespace settings {

enum class ReadResult { Ok, Missing, WrongType };

class ValueReader {
public:
    ValueReader(const platform::RegistryStore& store, QString key) : store_(store), key_(std::move(key)) {}

    bool KeyExists() const { return store_.KeyExists(key_); }

    // Any registry type: the stored bytes are taken as they are.
    bool Dword(const QString& name, uint32_t* value) const;
    uint32_t DwordOr(const QString& name, uint32_t fallback) const;
    int32_t IntOr(const QString& name, int32_t fallback) const;
    // Keeps *field when the value cannot be read.
    void KeepDword(const QString& name, int32_t* field) const;
    void KeepDword(const QString& name, uint32_t* field) const;
    // A double of at most 8 bytes; a value that is not a number counts as unreadable.
    double DoubleOr(const QString& name, double fallback) const;

    // Copies the text into the field, always NUL-terminated inside it; false (the field
    // untouched) when the value cannot be read.
    bool Text(const QString& name, char16_t* field, size_t chars) const;
    template <size_t N>
    bool Text(const QString& name, char16_t (&field)[N]) const {
        return Text(name, field, N);
    }
    // Clears the field first, so a value that cannot be read leaves it empty.
    template <size_t N>
    void TextOrEmpty(const QString& name, char16_t (&field)[N]) const {
        for (char16_t& c : field) c = u'\0';
        Text(name, field, N);
    }

    // Reads that insist on the registry type: REG_DWORD of 4 bytes, REG_SZ that fits.
    ReadResult TypedDword(const QString& name, int32_t* value) const;
    ReadResult TypedText(const QString& name, char16_t* field, size_t chars) const;
    template <size_t N>
    ReadResult TypedText(const QString& name, char16_t (&field)[N]) const {
        return TypedText(name, field, N);
    }

private:
    const platform::RegistryStore& store_;
    QString key_;
};

}  // namespace settings

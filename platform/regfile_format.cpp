#include "platform/regfile_format.h"

#include <QStringDecoder>

#include <optional>

namespace platform::regfile {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendQuoted(QByteArray& out, const QString& text) {
    out.append('"');
    for (char c : text.toUtf8()) {
        if (c == '"' || c == '\\') out.append('\\');
        out.append(c);
    }
    out.append('"');
}

void AppendHexByte(QByteArray& out, uint8_t byte) {
    out.append(kHexDigits[byte >> 4]);
    out.append(kHexDigits[byte & 0xf]);
}

void AppendValue(QByteArray& out, const regtree::Value& value) {
    AppendQuoted(out, value.name);
    out.append('=');
    switch (value.type) {
    case RegType::Dword: {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number << 8 | uint8_t(value.data[i]);
        out.append("dword:");
        out.append(QByteArray::number(number, 16).rightJustified(8, '0'));
        break;
    }
    case RegType::Sz:
        AppendQuoted(out, regtree::TextOfStringData(value.data).value_or(QString()));
        break;
    case RegType::Binary:
    case RegType::None:
        out.append("hex:");
        for (qsizetype i = 0; i < value.data.size(); ++i) {
            if (i > 0) out.append(',');
            AppendHexByte(out, uint8_t(value.data[i]));
        }
        break;
    }
    out.append('\n');
}

void AppendKey(QByteArray& out, const regtree::Key& key, const QString& path) {
    if (!out.isEmpty()) out.append('\n');
    out.append('[').append(path.toUtf8()).append("]\n");
    for (const regtree::Value& value : key.values) AppendValue(out, value);
    for (const auto& subkey : key.subkeys) AppendKey(out, *subkey, path + u'\\' + subkey->name);
}

std::optional<QString> DecodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError() || !regtree::IsWellFormedText(text)) return std::nullopt;
    return text;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the text and keeps its position and line; every read that fails leaves the parser
// damaged, after which the caller stops.
class Reader {
public:
    explicit Reader(const QByteArray& text) : text_(text) {
        if (text_.startsWith("\xef\xbb\xbf")) pos_ = 3;
    }

    bool AtEnd() const { return pos_ >= text_.size(); }
    int Line() const { return line_; }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    bool SkipBlankLine() {
        if (Consume("\n") || Consume("\r\n")) {
            ++line_;
            return true;
        }
        return false;
    }

    bool Consume(const char* literal) {
        const QByteArrayView expected(literal);
        if (!QByteArrayView(text_).sliced(pos_).startsWith(expected)) return false;
        pos_ += expected.size();
        return true;
    }

    bool LineEnd() {
        Consume("\r");
        return SkipBlankLine();
    }

    // "[path]" up to the end of the line; the path is everything between the brackets.
    std::optional<QString> KeyPath() {
        const qsizetype end = text_.indexOf('\n', pos_);
        if (end < 0) return std::nullopt;
        QByteArrayView line = QByteArrayView(text_).sliced(pos_, end - pos_);
        if (line.endsWith('\r')) line.chop(1);
        if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
        pos_ = end + 1;
        ++line_;
        return DecodeUtf8(line.sliced(1, line.size() - 2).toByteArray());
    }

    // A double-quoted text; it may run over several lines.
    std::optional<QString> Quoted() {
        if (!Consume("\"")) return std::nullopt;
        QByteArray bytes;
        while (!AtEnd()) {
            char c = text_[pos_++];
            if (c == '"') return DecodeUtf8(bytes);
            if (c == '\\') {
                if (AtEnd()) return std::nullopt;
                c = text_[pos_++];
                if (c != '"' && c != '\\') return std::nullopt;
            } else if (c == '\n') {
                ++line_;
            }
            bytes.append(c);
        }
        return std::nullopt;
    }

    std::optional<uint8_t> HexByte() {
        if (pos_ + 2 > text_.size()) return std::nullopt;
        const int high = HexDigitValue(text_[pos_]);
        const int low = HexDigitValue(text_[pos_ + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        pos_ += 2;
        return uint8_t(high << 4 | low);
    }

private:
    const QByteArray& text_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

std::optional<QByteArray> ReadValueData(Reader& reader, RegType* type) {
    if (reader.Peek() == '"') {
        *type = RegType::Sz;
        const std::optional<QString> text = reader.Quoted();
        if (!text) return std::nullopt;
        return regtree::StringData(*text);
    }
    if (reader.Consume("dword:")) {
        *type = RegType::Dword;
        QByteArray data(4, '\0');
        for (int i = 3; i >= 0; --i) {
            const std::optional<uint8_t> byte = reader.HexByte();
            if (!byte) return std::nullopt;
            data[i] = char(*byte);
        }
        return data;
    }
    if (reader.Consume("hex:")) {
        *type = RegType::Binary;
        QByteArray data;
        if (reader.Peek() == '\n' || reader.Peek() == '\r') return data;
        do {
            const std::optional<uint8_t> byte = reader.HexByte();
            if (!byte) return std::nullopt;
            data.append(char(*byte));
        } while (reader.Consume(","));
        return data;
    }
    return std::nullopt;
}

// One "[path]" or value entry, ending with its line break. False when it is damaged.
bool ReadEntry(Reader& reader, regtree::Key& root, regtree::Key*& current) {
    if (reader.Peek() == '[') {
        const std::optional<QString> path = reader.KeyPath();
        if (!path) return false;
        const std::optional<QStringList> names = regtree::SplitKeyPath(*path);
        if (!names || names->isEmpty()) return false;
        current = &root;
        for (const QString& name : *names) current = &current->FindOrAddSubkey(name);
        return true;
    }
    if (!current || reader.Peek() != '"') return false;
    const std::optional<QString> name = reader.Quoted();
    if (!name || !reader.Consume("=")) return false;
    RegType type = RegType::None;
    const std::optional<QByteArray> data = ReadValueData(reader, &type);
    if (!data || !reader.LineEnd()) return false;
    current->PutValue(*name, type, *data);
    return true;
}

}  // namespace

QByteArray Format(const regtree::Key& root) {
    QByteArray out;
    for (const auto& key : root.subkeys) AppendKey(out, *key, key->name);
    return out;
}

int Parse(const QByteArray& text, regtree::Key& root) {
    Reader reader(text);
    regtree::Key* current = nullptr;
    while (!reader.AtEnd()) {
        if (reader.SkipBlankLine()) continue;
        const int entryLine = reader.Line();
        if (!ReadEntry(reader, root, current)) return entryLine;
    }
    return 0;
}

}  // namespace platform::regfile

#include "platform/regfile_format.h"

#include <QtEndian>

#include <optional>

namespace platform {

namespace {

class Reader {
public:
    explicit Reader(const QString& text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    QChar Peek() const { return AtEnd() ? QChar() : text_[pos_]; }
    int Line() const { return line_; }

    QChar Take() {
        const QChar c = text_[pos_++];
        if (c == u'\n') ++line_;
        return c;
    }

    bool TakeIf(QStringView word) {
        if (text_.mid(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    void SkipBlankLines() {
        while (!AtEnd() && Peek().isSpace()) Take();
    }

    void SkipToLineEnd() {
        while (!AtEnd() && Peek() != u'\n') Take();
    }

    // Blanks up to the end of the line (or of the text), nothing else.
    bool RestOfLineIsBlank() {
        while (!AtEnd() && Peek() != u'\n') {
            if (!Take().isSpace()) return false;
        }
        return true;
    }

    // The text between the current '"' and its unescaped closing '"'.
    std::optional<QString> QuotedText() {
        if (Take() != u'"') return std::nullopt;
        QString out;
        while (!AtEnd()) {
            const QChar c = Take();
            if (c == u'"') return out;
            if (c == u'\\') {
                if (AtEnd()) return std::nullopt;
                const QChar escaped = Take();
                if (escaped != u'"' && escaped != u'\\') return std::nullopt;
                out += escaped;
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }

    std::optional<QString> KeyPath() {
        Take();  // '['
        QString path;
        while (!AtEnd() && Peek() != u']' && Peek() != u'\n') path += Take();
        if (AtEnd() || Take() != u']') return std::nullopt;
        while (path.endsWith(u'\\')) path.chop(1);
        while (path.startsWith(u'\\')) path.remove(0, 1);
        if (path.isEmpty()) return std::nullopt;
        return path;
    }

    std::optional<int> HexDigit() {
        if (AtEnd()) return std::nullopt;
        const char16_t c = Peek().unicode();
        int value;
        if (c >= u'0' && c <= u'9') value = c - u'0';
        else if (c >= u'a' && c <= u'f') value = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') value = c - u'A' + 10;
        else return std::nullopt;
        Take();
        return value;
    }

    std::optional<QByteArray> Dword() {
        quint32 value = 0;
        for (int i = 0; i < 8; ++i) {
            const std::optional<int> digit = HexDigit();
            if (!digit) return std::nullopt;
            value = value << 4 | static_cast<quint32>(*digit);
        }
        QByteArray data(4, '\0');
        qToLittleEndian(value, data.data());
        return data;
    }

    std::optional<QByteArray> HexBytes() {
        QByteArray data;
        if (Peek() == u'\n' || Peek() == u'\r' || AtEnd()) return data;
        for (;;) {
            const std::optional<int> high = HexDigit();
            const std::optional<int> low = high ? HexDigit() : std::nullopt;
            if (!low) return std::nullopt;
            data.append(static_cast<char>(*high << 4 | *low));
            if (Peek() != u',') return data;
            Take();
        }
    }

private:
    const QString& text_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

std::optional<RegValueRecord> ReadValue(Reader& reader) {
    RegValueRecord value;
    const std::optional<QString> name = reader.QuotedText();
    if (!name || !reader.TakeIf(u"=")) return std::nullopt;
    value.name = *name;
    std::optional<QByteArray> data;
    if (reader.TakeIf(u"dword:")) {
        value.type = RegType::Dword;
        data = reader.Dword();
    } else if (reader.TakeIf(u"hex:")) {
        value.type = RegType::Binary;
        data = reader.HexBytes();
    } else if (reader.Peek() == u'"') {
        value.type = RegType::Sz;
        const std::optional<QString> text = reader.QuotedText();
        if (text) data = StringData(*text);
    }
    if (!data || !reader.RestOfLineIsBlank()) return std::nullopt;
    value.data = *data;
    return value;
}

void AppendEscaped(QString& out, const QString& text) {
    out += u'"';
    for (QChar c : text) {
        if (c == u'"' || c == u'\\') out += u'\\';
        out += c;
    }
    out += u'"';
}

QString FormatData(const RegValueRecord& value) {
    switch (value.type) {
        case RegType::Dword:
            if (value.data.size() == 4) {
                return QStringLiteral("dword:%1").arg(qFromLittleEndian<quint32>(value.data.constData()), 8, 16, QChar(u'0'));
            }
            break;
        case RegType::Sz: {
            QString out;
            AppendEscaped(out, TextOfStringData(value.data));
            return out;
        }
        case RegType::Binary:
        case RegType::None:
            break;
    }
    // Binary data, and a DWORD whose data is not 4 bytes, keep their bytes.
    QString out = QStringLiteral("hex:");
    for (qsizetype i = 0; i < value.data.size(); ++i) {
        if (i > 0) out += u',';
        out += QStringLiteral("%1").arg(static_cast<uchar>(value.data[i]), 2, 16, QChar(u'0'));
    }
    return out;
}

}  // namespace

QByteArray StringData(const QString& text) {
    QByteArray data((text.size() + 1) * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian<quint16>(text[i].unicode(), data.data() + 2 * i);
    return data;
}

QString TextOfStringData(const QByteArray& data) {
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = qFromLittleEndian<quint16>(data.constData() + i);
        if (unit == 0) break;
        text += QChar(unit);
    }
    return text;
}

ParsedRegText ParseRegText(const QByteArray& utf8) {
    const QString text = QString::fromUtf8(utf8);
    Reader reader(text);
    ParsedRegText parsed;
    for (;;) {
        reader.SkipBlankLines();
        if (reader.AtEnd()) break;
        const int line = reader.Line();
        const QChar first = reader.Peek();
        if (first == u';') {
            reader.SkipToLineEnd();
            continue;
        }
        if (first == u'[') {
            const std::optional<QString> path = reader.KeyPath();
            if (path && reader.RestOfLineIsBlank()) {
                parsed.keys.push_back({*path, {}});
                continue;
            }
        } else if (first == u'"' && !parsed.keys.empty()) {
            std::optional<RegValueRecord> value = ReadValue(reader);
            if (value) {
                parsed.keys.back().values.push_back(std::move(*value));
                continue;
            }
        }
        parsed.damagedLine = line;
        break;
    }
    return parsed;
}

QByteArray FormatRegText(const std::vector<RegKeyRecord>& keys) {
    QString out;
    for (const RegKeyRecord& key : keys) {
        if (!out.isEmpty()) out += u'\n';
        out += u'[' + key.path + QStringLiteral("]\n");
        for (const RegValueRecord& value : key.values) {
            AppendEscaped(out, value.name);
            out += u'=' + FormatData(value) + u'\n';
        }
    }
    return out.toUtf8();
}

}  // namespace platform

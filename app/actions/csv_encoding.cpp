#include "app/actions/csv_encoding.h"

#include <iconv.h>
#include <cerrno>

namespace actions {

namespace {

QByteArray Utf16LittleEndian(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

// Windows-1251 through iconv. A character the code page lacks becomes the code page's default
// character "?"; a surrogate pair is one character and gives one "?".
QByteArray Windows1251(QStringView text) {
    constexpr char kDefaultChar = '?';
    QByteArray input = Utf16LittleEndian(text);
    // One byte per UTF-16 unit at most: the code page is single-byte.
    QByteArray output(text.size(), Qt::Uninitialized);
    const iconv_t cd = iconv_open("WINDOWS-1251", "UTF-16LE");
    // Without the system's converter every character counts as unmapped.
    if (cd == reinterpret_cast<iconv_t>(-1)) return QByteArray(text.size(), kDefaultChar);
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    char* out = output.data();
    size_t outLeft = static_cast<size_t>(output.size());
    while (inLeft > 0 && iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        if (errno != EILSEQ && errno != EINVAL) break;
        // No mapping, or a lone surrogate: skip the character.
        const qsizetype at = (in - input.constData()) / 2;
        const bool pair = at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate();
        const size_t skip = pair ? 4 : 2;
        in += skip;
        inLeft -= skip;
        *out++ = kDefaultChar;
        --outLeft;
    }
    iconv_close(cd);
    output.truncate(static_cast<qsizetype>(out - output.data()));
    return output;
}

}  // namespace

QByteArray CsvByteOrderMark(CsvEncoding encoding) {
    switch (encoding) {
    case CsvEncoding::Unicode:
        return QByteArray("\xFF\xFE", 2);
    case CsvEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3);
    case CsvEncoding::Ansi:
        break;
    }
    return {};
}

QByteArray EncodeCsvText(QStringView text, CsvEncoding encoding) {
    switch (encoding) {
    case CsvEncoding::Unicode:
        return Utf16LittleEndian(text);
    case CsvEncoding::Utf8:
        return text.toUtf8();
    case CsvEncoding::Ansi:
        break;
    }
    return Windows1251(text);
}

}  // namespace actions

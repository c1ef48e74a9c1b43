#include "app/actions/mail_addresses.h"

namespace actions {

namespace {

// Bytes of UTF-8 per encoded word: 52 base64 characters keep a folded line under 78.
constexpr qsizetype kEncodedWordBytes = 39;

bool IsPlainHeaderText(QStringView text) {
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
    }
    return !text.contains(u"=?");
}

bool IsUsableAddress(QStringView address) {
    if (address.isEmpty()) return false;
    for (QChar c : address) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || c == u'<' || c == u'>' || c == u'"') return false;
    }
    return true;
}

QByteArray EncodedWord(const QByteArray& utf8) { return "=?UTF-8?B?" + utf8.toBase64() + "?="; }

}  // namespace

QStringList SplitRecipients(QStringView list) {
    QStringList entries;
    QString current;
    bool quoted = false;
    auto finish = [&] {
        const QString entry = current.trimmed();
        if (!entry.isEmpty()) entries.append(entry);
        current.clear();
    };
    for (QChar c : list) {
        if (c == u'"') quoted = !quoted;
        if (!quoted && (c == u',' || c == u';')) {
            finish();
        } else {
            current.append(c);
        }
    }
    finish();
    return entries;
}

std::optional<MailAddress> ParseMailAddress(QStringView entry) {
    entry = entry.trimmed();
    // A line break in a name or an address could only smuggle in protocol lines.
    for (QChar c : entry) {
        if (c.category() == QChar::Other_Control) return std::nullopt;
    }
    MailAddress result;
    const qsizetype open = entry.lastIndexOf(u'<');
    if (open < 0) {
        result.address = entry.toString();
    } else {
        if (!entry.endsWith(u'>')) return std::nullopt;
        result.address = entry.sliced(open + 1, entry.size() - open - 2).trimmed().toString();
        QStringView name = entry.first(open).trimmed();
        if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"')) name = name.sliced(1, name.size() - 2);
        result.displayName = name.toString();
    }
    if (!IsUsableAddress(result.address)) return std::nullopt;
    return result;
}

QByteArray EncodeHeaderText(QStringView text) {
    if (IsPlainHeaderText(text)) return text.toLatin1();
    QByteArrayList words;
    QByteArray chunk;
    // Whole code points only, so that each word decodes on its own.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray point = text.sliced(i, units).toUtf8();
        if (chunk.size() + point.size() > kEncodedWordBytes) {
            words.append(EncodedWord(chunk));
            chunk.clear();
        }
        chunk += point;
        i += units;
    }
    if (!chunk.isEmpty()) words.append(EncodedWord(chunk));
    return words.join("\r\n ");
}

QByteArray FormatAddressHeader(const MailAddress& address) {
    const QByteArray angle = "<" + address.address.toUtf8() + ">";
    if (address.displayName.isEmpty()) return angle;
    if (IsPlainHeaderText(address.displayName)) {
        QString quoted = address.displayName;
        quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        return "\"" + quoted.toLatin1() + "\" " + angle;
    }
    return EncodeHeaderText(address.displayName) + " " + angle;
}

}  // namespace actions

#include "app/management/xml_documents.h"

#include <QDomNamedNodeMap>
#include <QtEndian>

#include <cctype>
#include <charconv>
#include <iterator>

namespace management {

QString PacketText(std::span<const std::byte> data) {
    QString text;
    text.resize(qsizetype(data.size() / 2));
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<char16_t>(data.data() + 2 * size_t(i)));
    qsizetype length = text.size();
    while (length > 0 && text[length - 1] == QChar(0)) --length;
    text.truncate(length);
    return text;
}

std::optional<uint32_t> ParseNumber(const QString& text, NumberForm form) {
    const QString trimmed = text.trimmed();
    int base = 10;
    QStringView digits(trimmed);
    if (form == NumberForm::DecimalOrHex && (digits.startsWith(u"0x") || digits.startsWith(u"0X"))) {
        base = 16;
        digits = digits.mid(2);
    }
    // toUInt would accept a sign or a second prefix; only digits of the base are numbers here.
    if (digits.isEmpty()) return std::nullopt;
    for (QChar c : digits) {
        const char16_t unit = c.unicode();
        const bool valid = unit < 128 && (base == 16 ? std::isxdigit(unit) != 0 : std::isdigit(unit) != 0);
        if (!valid) return std::nullopt;
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, base);
    if (!ok) return std::nullopt;
    return uint32_t(value);
}

QDomDocument NewOutgoingDocument() {
    QDomDocument document;
    // Qt writes one blank between the target and the data itself.
    document.appendChild(
        document.createProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='UTF-16'")));
    return document;
}

QString DocumentText(const QDomDocument& document) { return WellFormedXmlText(document.toString(-1)); }

QString WellFormedXmlText(QString text) {
    constexpr char16_t kReplacement = 0xFFFD;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        const bool allowed = (unit >= 0x20 && unit < 0xD800) || (unit >= 0xE000 && unit < 0xFFFE) || unit == u'\t' ||
                             unit == u'\n' || unit == u'\r';
        if (!allowed) text[i] = QChar(kReplacement);
    }
    return text;
}

QDomElement AppendTextElement(QDomElement& parent, const QString& name, const QString& text) {
    QDomDocument document = parent.ownerDocument();
    QDomElement element = document.createElement(name);
    if (!text.isEmpty()) element.appendChild(document.createTextNode(text));
    parent.appendChild(element);
    return element;
}

void AppendVersion(QDomElement& parent) {
    QDomElement version = parent.ownerDocument().createElement(QStringLiteral("Ostrovid"));
    AppendTextElement(version, QStringLiteral("MajorVersion"), QStringLiteral("2"));
    AppendTextElement(version, QStringLiteral("MinorVersion"), QStringLiteral("2"));
    AppendTextElement(version, QStringLiteral("BuildVersion"), QStringLiteral("0"));
    parent.appendChild(version);
}

std::optional<QString> AttributeIgnoringCase(const QDomElement& element, const QString& name) {
    if (element.hasAttribute(name)) return element.attribute(name);
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.length(); ++i) {
        const QDomNode attribute = attributes.item(i);
        if (attribute.nodeName().compare(name, Qt::CaseInsensitive) == 0) return attribute.nodeValue();
    }
    return std::nullopt;
}

QString FixedPoint(double value, int decimals) {
    // Rounded as printf rounds (the exact binary value, ties to even), whatever the C locale is.
    char text[400];
    const std::to_chars_result result =
        std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed, decimals);
    return QString::fromLatin1(text, result.ptr - text);
}

}  // namespace management

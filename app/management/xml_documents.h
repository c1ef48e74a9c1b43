#pragma once
// Purpose: the pieces every management document shares: the packet text of an incoming document,
//          numbers as clients write them, the declaration and version block of outgoing documents,
//          and the fixed-point texts of confidences and times.
// Threads: free functions, any thread.
// Owns: nothing.

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace management {

// The UTF-16LE text of a packet's data: every whole code unit of it (an odd last byte cannot be
// one), without the NUL characters that may close it.
QString PacketText(std::span<const std::byte> data);

enum class NumberForm { Decimal, DecimalOrHex };

// An unsigned 32-bit number in decimal or, where allowed, "0x" hexadecimal, blanks around it
// ignored; nothing when the text is no such number or does not fit.
std::optional<uint32_t> ParseNumber(const QString& text, NumberForm form);

// A document that starts with the XML declaration of every document the server sends.
QDomDocument NewOutgoingDocument();
// The document's text with every character XML 1.0 forbids replaced (see WellFormedXmlText).
QString DocumentText(const QDomDocument& document);

// The text with U+FFFD in place of every character XML 1.0 does not allow in a document: the
// control characters but tab, line feed and carriage return, U+FFFE, U+FFFF and lone surrogates.
// The DOM writes them as they are, and one of them in a person's name would make the document
// ill-formed for every station.
QString WellFormedXmlText(QString text);

// Appends <name>text</name> to the parent and returns it.
QDomElement AppendTextElement(QDomElement& parent, const QString& name, const QString& text);
// The program's version block <Ostrovid> with its three numbers.
void AppendVersion(QDomElement& parent);

// The attribute of that name in any letter case; nothing when the element has none.
std::optional<QString> AttributeIgnoringCase(const QDomElement& element, const QString& name);

// "%.<decimals>f" as printf writes it in the C locale.
QString FixedPoint(double value, int decimals);

}  // namespace management

#pragma once
// Purpose: the address and header texts of an outgoing mail: the operator's recipient list split
//          into addresses, display names taken apart from their addresses, and header texts made
//          safe for 7-bit headers (RFC 2047 encoded words), so that no typed text can add a header.
// Threads: any; pure functions.
// Owns: nothing.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace actions {

struct MailAddress {
    QString displayName;  // may be empty
    QString address;      // local@domain, without angle brackets
};

// The entries of a recipient list as typed: split on commas and semicolons outside double
// quotes, blanks trimmed, empty entries skipped.
QStringList SplitRecipients(QStringView list);

// "Name <local@domain>", "\"Name, Jr.\" <local@domain>", "<local@domain>" or "local@domain".
// Nothing when the entry holds a control character, or the address is empty or holds a blank,
// a quote or an angle bracket.
std::optional<MailAddress> ParseMailAddress(QStringView entry);

// The header value of a text: unchanged when it is printable ASCII without "=?", else UTF-8
// encoded words ("=?UTF-8?B?...?=") folded onto continuation lines, never splitting a character.
QByteArray EncodeHeaderText(QStringView text);

// "\"Name\" <address>", "=?UTF-8?B?...?= <address>" or "<address>".
QByteArray FormatAddressHeader(const MailAddress& address);

}  // namespace actions

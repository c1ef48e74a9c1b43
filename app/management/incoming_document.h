#pragma once
// Purpose: the checks both kinds of client document go through before their contents are read:
//          well-formed text, the root element's name (in any letter case), the password element.
//          A document that fails them is logged and ends the session without a reply.
// Threads: any thread (a session's receive thread).
// Owns: the parsed document.

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include <cstddef>
#include <optional>
#include <span>

namespace management {

enum class DocumentKind { Request, Subscription };

struct IncomingDocument {
    QDomDocument document;
    QDomElement root;
    QString password;
};

// The document with its root and password; nothing after logging why it was refused.
std::optional<IncomingDocument> ReadIncomingDocument(DocumentKind kind, int sessionNumber,
                                                     std::span<const std::byte> data);

}  // namespace management

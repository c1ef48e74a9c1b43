#include "app/management/incoming_document.h"

#include "app/management/xml_documents.h"
#include "platform/log.h"

#include <QXmlStreamReader>

namespace management {

namespace {

QString HandlerName(DocumentKind kind) {
    return kind == DocumentKind::Request ? QStringLiteral("HandleTcpRequest()")
                                         : QStringLiteral("HandleTcpSubscribeToEvents()");
}

// Clients have no use for a document type declaration, and its internal entities let a few
// kilobytes of request expand to tens of megabytes of text before the password is even looked at.
bool DeclaresDocumentType(const QString& text) {
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return true;
        case QXmlStreamReader::StartElement:
        case QXmlStreamReader::Invalid:
            return false;
        default:
            break;
        }
    }
    return false;
}

}  // namespace

std::optional<IncomingDocument> ReadIncomingDocument(DocumentKind kind, int sessionNumber,
                                                     std::span<const std::byte> data) {
    const QString session = QString::number(sessionNumber);
    const QString text = PacketText(data);
    // The structure texts name the request handler for both kinds of document.
    const QString prefix = QStringLiteral("HandleTcpRequest() Session %1: ").arg(session);
    if (text.isEmpty()) {
        WriteLog(prefix + QStringLiteral("Тело запроса не является XML документом допустимого формата!"));
        return std::nullopt;
    }

    IncomingDocument incoming;
    QString reason;
    bool parsed = false;
    if (DeclaresDocumentType(text))
        reason = QStringLiteral("Document type declarations are not accepted.");
    else
        parsed = incoming.document.setContent(text, false, &reason);
    if (!parsed) {
        const QString parsePrefix = QStringLiteral("%1 Session %2: ").arg(HandlerName(kind), session);
        if (reason.isEmpty())
            WriteLog(parsePrefix + QStringLiteral("Неизвестная ошибка при разборе XML запроса!"));
        else
            WriteLog(parsePrefix + QStringLiteral("Ошибка при разборе XML запроса: ") + reason);
        return std::nullopt;
    }

    incoming.root = incoming.document.documentElement();
    if (incoming.root.isNull()) {
        WriteLog(prefix + QStringLiteral("XML запроса не содержит корневй элемент!"));
        return std::nullopt;
    }
    const QString rootName =
        kind == DocumentKind::Request ? QStringLiteral("Request") : QStringLiteral("SubscribeToEvents");
    if (incoming.root.tagName().compare(rootName, Qt::CaseInsensitive) != 0) {
        WriteLog(prefix + QStringLiteral("Корневой элемент XML запроса имеет неправильное имя!"));
        return std::nullopt;
    }
    const QDomElement password = incoming.root.firstChildElement(QStringLiteral("Password"));
    if (password.isNull()) {
        WriteLog(prefix + QStringLiteral("В корневом элементе XML запроса не содержится тег <Password>!"));
        return std::nullopt;
    }
    incoming.password = password.text();
    return incoming;
}

}  // namespace management

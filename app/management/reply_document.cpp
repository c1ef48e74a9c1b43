#include "app/management/reply_document.h"

#include "app/management/xml_documents.h"

namespace management {

ReplyDocument::ReplyDocument(const QString& rootName) : document_(NewOutgoingDocument()) {
    root_ = document_.createElement(rootName);
    document_.appendChild(root_);
    errorCode_ = AppendTextElement(root_, QStringLiteral("ErrorCode"), {});
    errorDescription_ = AppendTextElement(root_, QStringLiteral("ErrorDescription"), {});
    AppendVersion(root_);
}

void ReplyDocument::SetError(const ReplyError& error) {
    errorCode_.appendChild(document_.createTextNode(QString::number(error.code)));
    errorDescription_.appendChild(document_.createTextNode(error.description));
}

QString ReplyDocument::Text() const { return DocumentText(document_); }

}  // namespace management

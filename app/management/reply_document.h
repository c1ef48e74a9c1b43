#pragma once
// Purpose: the reply every client document gets: the error code and its description (both empty
//          on success) and the program's version, followed by whatever the answer adds.
// Threads: the thread that builds the reply.
// Owns: its document.

#include <QDomDocument>
#include <QDomElement>
#include <QString>

namespace management {

// The answer to a client document: 0 for success, else the code and its text.
struct ReplyError {
    int code = 0;
    QString description;
    bool Failed() const { return code != 0; }
};

class ReplyDocument {
public:
    // rootName: "Reply" or "SubscribeToEventsReply".
    explicit ReplyDocument(const QString& rootName);

    void SetError(const ReplyError& error);
    // The root, to append the answer's own elements after the version block.
    QDomElement& Root() { return root_; }
    QString Text() const;

private:
    QDomDocument document_;
    QDomElement root_;
    QDomElement errorCode_;
    QDomElement errorDescription_;
};

}  // namespace management

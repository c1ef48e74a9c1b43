#pragma once
// Purpose: the session password as the document handlers check it: compared in constant time so
//          that a client cannot learn it from the time an answer takes, and kept only as a digest.
// Threads: Matches from any thread (the object is immutable).
// Owns: the digest of the password.

#include <QByteArray>
#include <QString>

namespace management {

class ServerPassword {
public:
    explicit ServerPassword(const QString& password);
    // Exact, case-sensitive equality; an empty text matches an empty password.
    bool Matches(const QString& candidate) const;

private:
    QByteArray digest_;
};

}  // namespace management

#include "app/management/server_password.h"

#include <QCryptographicHash>

namespace management {

namespace {

// Equal texts have equal digests; comparing digests of a fixed size takes the same time whatever
// the texts' lengths and wherever they differ.
QByteArray Digest(const QString& text) {
    return QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(text.utf16()), text.size() * 2),
                                    QCryptographicHash::Sha256);
}

}  // namespace

ServerPassword::ServerPassword(const QString& password) : digest_(Digest(password)) {}

bool ServerPassword::Matches(const QString& candidate) const {
    const QByteArray other = Digest(candidate);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < digest_.size(); ++i) difference |= static_cast<unsigned char>(digest_[i] ^ other[i]);
    return difference == 0;
}

}  // namespace management

#include "platform/hostinfo.h"

#include <sys/utsname.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cstdlib>

namespace platform {

QString ComputerName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    QString name = QString::fromLocal8Bit(host);
    name.truncate(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    name.truncate(15);
    return name;
}

QString NewGuidText() {
    uuid_t id;
    uuid_generate(id);
    char text[37];
    uuid_unparse_upper(id, text);
    return u'{' + QString::fromLatin1(text) + u'}';
}

OsVersion KernelVersion() {
    utsname names{};
    if (uname(&names) != 0) return {};
    // "6.1.0-18-amd64": up to three dot-separated numbers, ending at anything else.
    int parts[3] = {};
    const char* cursor = names.release;
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        parts[i] = static_cast<int>(std::strtol(cursor, &end, 10));
        if (end == cursor || *end != '.') break;
        cursor = end + 1;
    }
    return OsVersion{parts[0], parts[1], parts[2]};
}

}  // namespace platform

#include "velox/runner_block.h"

#include "platform/ipc.h"
#include "settings/channel_area.h"
#include "velox/velox_block_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRegularExpression>

#include <cerrno>
#include <cstring>

namespace velox {

bool IsGuidText(const QString& text) {
    static const QRegularExpression guid(
        QStringLiteral("^\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\}$"));
    return text.size() == qsizetype(layout::kGuidTextChars) && guid.match(text).hasMatch();
}

RunnerBlock::~RunnerBlock() {
    if (fd_ >= 0) ::close(fd_);
}

bool RunnerBlock::Open(const QString& guid, QString* error) {
    if (!IsGuidText(guid)) {
        *error = QStringLiteral("Неверный идентификатор блока: %1").arg(guid.left(64));
        return false;
    }
    const std::string path = platform::IpcObjectPath(std::string(layout::kBlockBaseName) + ':' + guid.toStdString());
    fd_ = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        size_t(st.st_size) != layout::kBlockSize) {
        *error = QStringLiteral("Блок запроса недоступен: %1").arg(QString::fromLocal8Bit(path));
        return false;
    }
    return true;
}

bool RunnerBlock::Read(std::vector<uint8_t>& bytes) const {
    bytes.assign(layout::kBlockSize, 0);
    return ::pread(fd_, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size());
}

bool RunnerBlock::WriteReply(uint32_t resultCode, const QString& text) const {
    std::vector<uint8_t> bytes(layout::kBlockSize, 0);
    settings::channel::ChannelArea reply(bytes.data(), bytes.size());
    reply.SetU32(layout::kPacketType, uint32_t(layout::PacketType::Reply));
    reply.SetU32(layout::kResultCode, resultCode);
    reply.SetText(layout::kReplyText, layout::kReplyTextChars, text);
    // The type goes last, so that a reply cut short by a crash still reads as no reply.
    return ::pwrite(fd_, bytes.data() + 4, bytes.size() - 4, 4) == ssize_t(bytes.size() - 4) &&
           ::pwrite(fd_, bytes.data(), 4, 0) == 4;
}

}  // namespace velox

#pragma once
// Purpose: the shared block of one script run: a file in /dev/shm only this account can open, named
//          after a fresh GUID, read and written through its descriptor.
// Threads: the script worker that made it.
// Owns: the descriptor and the name; both go with the object.

#include "settings/channel_area.h"

#include <QString>

#include <string>
#include <vector>

namespace actions {

// "/dev/shm/<namespace>OSTROVID_2_VELOX_MAP_FILE:{GUID}".
std::string VeloxBlockPath(const QString& guid);

class VeloxBlock {
public:
    VeloxBlock() = default;
    ~VeloxBlock();
    VeloxBlock(const VeloxBlock&) = delete;
    VeloxBlock& operator=(const VeloxBlock&) = delete;

    // Makes a new block of the full size, mode 0600; a name already taken is an error. Returns a
    // Windows error code (platform/syserror.h).
    int Create(const QString& guid);
    // Through the descriptor, not a mapping, so that a block the runner cut short cannot fault
    // the program. Write returns an error code; Read false unless the whole block was read.
    int Write(const settings::channel::ChannelArea& bytes) const;
    bool Read(settings::channel::ChannelArea& bytes) const;

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace actions

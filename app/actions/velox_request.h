#pragma once
// Purpose: the program's side of the runner block: the request written from a script action, the
//          reply read back, and how long the program waits for the runner.
// Threads: any.
// Owns: nothing; works on a block the caller holds.

#include "app/actions/action_item.h"
#include "settings/channel_area.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace actions {

// Writes the whole request of a script item (type 2 or 4) into a block of velox::layout::kBlockSize
// bytes; every byte of the request not covered by a field is zero.
void WriteVeloxRequest(settings::channel::ChannelArea& block, ActionType type, const ScriptRequest& request);

struct VeloxReply {
    uint32_t packetType = 0;  // 0 when the runner replied
    uint32_t resultCode = 0;
    QString text;
};

VeloxReply ReadVeloxReply(const settings::channel::ChannelArea& block);

// The runner enforces the operator's time-out itself; the program gives it twice as long, at
// least 10 s. Nothing (wait for ever) for a time-out of 0 or less.
std::optional<std::chrono::milliseconds> VeloxWaitLimit(int32_t timeoutSeconds);

}  // namespace actions

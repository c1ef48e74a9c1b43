#pragma once
// The watchdog of IP camera connections: when the capture thread has recorded no activity for
// longer than the settings allow, the service is asked to reset the camera's TCP connection, so
// that the call blocked on it fails and the capture thread reconnects.

#include "app/shell/journal.h"
#include "platform/sync.h"
#include "settings/settings_hub.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace camera {

// Runs until termEvent is set, checking every 10 s with the limits of the hub's settings of the
// time; each reset is journaled. The hub must outlive the thread.
void HangupDetectionThreadFunc(platform::Event* termEvent, const shell::Journal& journal,
                               const settings::SettingsHub& hub);

// One check at the given time (seconds since 1970) with the given limits; true when the close
// command was sent. CameraWorkLock is released before the command goes out.
bool CheckCameraHangup(const shell::Journal& journal, const settings::CamerasExtParam& limits, int64_t now);

// The decision alone: elapsed time beyond the limit that applies (new frame while opened,
// connection otherwise).
bool CameraHungUp(int64_t now, int64_t lastActivity, bool opened, int32_t waitConnectionTime, int32_t waitNewFrameTime);

// The service's close command (settings::SendCloseSocketCommand), or the test's stand-in.
bool SendCloseCommand(uint32_t ipv4NetworkOrder, uint16_t port);

// For tests only: a shorter check period and a stand-in for the service's close command.
// An empty function restores settings::SendCloseSocketCommand.
using CloseSocketCommand = std::function<bool(uint32_t ipv4NetworkOrder, uint16_t port)>;
void SetHangupCheckIntervalForTest(std::chrono::milliseconds interval);
void SetCloseSocketCommandForTest(CloseSocketCommand command);

}  // namespace camera

#pragma once
// The writers that store one settings group from a packet into the settings store, one per
// packet type. Each returns 0 or the error code of the step that failed; values written before a
// failure stay written. Packet fields are read at the offsets of the packet layout.

#include "platform/registry.h"
#include "settings/channel_area.h"

#include <QString>

namespace service {

using settings::channel::ChannelArea;

// The autostart entry, not the store: set to the packet's path, or deleted when the flag is 0
// (deleting a missing entry fails). The path must be the trusted program (trusted_program.h);
// any other path is refused with kErrorAccessDenied and nothing is written.
int SaveAutoRunToRegistry(const ChannelArea& packet);

int SaveCameraListToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveCamerasExtParamToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveMaximizedToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveWindowRectToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveDivProportionToRegistry(platform::RegistryStore& store, const ChannelArea& packet, const QString& valueName);
int SaveCurrentCameraIndexToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveDbConnectionStringToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveCameraViewFeaturesToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveAlertsToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveCsvFormatToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveScriptFormatToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveManagementServerSettingsToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveDbWinSettingsToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveRecognitionSettingsToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveSmtpSettingsToRegistry(platform::RegistryStore& store, const ChannelArea& packet);
int SaveUPActionSetToRegistry(platform::RegistryStore& store, const ChannelArea& packet);

}  // namespace service

#pragma once
// Loading the settings groups from the store at start-up, with the defaults and rules of every
// value, and the autostart check the settings sheet repeats.

#include "platform/registry.h"
#include "settings/settings_state.h"

namespace settings {

// Reads every group from the store file. When the application key cannot be opened nothing is
// read and every group keeps its initial contents.
SettingsState LoadSettingsFromRegistry();

// The same over an already loaded store, into `state`.
void LoadSettingsFromStore(const platform::RegistryStore& store, SettingsState& state);

// True when the autostart entry exists and starts this program (path compared without regard
// to letter case); false when it is missing, differs or cannot be read.
bool IsAutoRunSet();

}  // namespace settings

#pragma once
// The user-interface settings the main frame saves the moment they change. The default goes
// through the service channel; tests record the calls instead.

#include "settings/groups.h"

#include <cstdint>

namespace ui {

class SettingsSaver {
public:
    virtual ~SettingsSaver() = default;
    virtual bool SaveWindowPos(const settings::WindowPos& pos) = 0;
    virtual bool SaveMaximized(int32_t maximized) = 0;
    virtual bool SavePanelDivProportion(double proportion) = 0;
    virtual bool SaveLeftPanelDivProportion(double proportion) = 0;
    virtual bool SaveCameraViewFeatures(const settings::CameraViewFeatures& features) = 0;
    virtual bool SaveCurrentCameraIndex(int32_t index) = 0;
};

// Hands every save to OstrovidSvc.
SettingsSaver& ChannelSettingsSaver();

}  // namespace ui

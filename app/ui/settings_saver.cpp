#include "app/ui/settings_saver.h"

#include "settings/channel_saves.h"

namespace ui {

namespace {

class ChannelSaver final : public SettingsSaver {
public:
    bool SaveWindowPos(const settings::WindowPos& pos) override { return settings::SaveWindowPos(pos); }
    bool SaveMaximized(int32_t maximized) override { return settings::SaveMaximized(maximized); }
    bool SavePanelDivProportion(double proportion) override { return settings::SavePanelDivProportion(proportion); }
    bool SaveLeftPanelDivProportion(double proportion) override {
        return settings::SaveLeftPanelDivProportion(proportion);
    }
    bool SaveCameraViewFeatures(const settings::CameraViewFeatures& features) override {
        return settings::SaveCameraViewFeatures(features);
    }
    bool SaveCurrentCameraIndex(int32_t index) override { return settings::SaveCurrentCameraIndex(index); }
};

}  // namespace

SettingsSaver& ChannelSettingsSaver() {
    static ChannelSaver saver;
    return saver;
}

}  // namespace ui

#include "settings/settings_hub.h"

#include "platform/contract.h"

#include <cstring>
#include <type_traits>

namespace settings {

namespace {

// The groups are fixed layouts of the store and the packets: compared byte by byte, so text
// left behind a terminator counts as a change. That only wakes a subscriber for nothing.
template <class Value>
bool SameBytes(const Value& a, const Value& b) {
    static_assert(std::is_trivially_copyable_v<Value>);
    return std::memcmp(&a, &b, sizeof(Value)) == 0;
}

}  // namespace

GroupSet ChangedGroups(const SettingsState& before, const SettingsState& after) {
    GroupSet changed;
    const auto mark = [&changed](Group group, bool same) {
        if (!same) changed.Add(group);
    };
    mark(Group::AutoRun, before.AutoRun == after.AutoRun);
    mark(Group::DbConnectionString, SameBytes(before.DbConnectionString, after.DbConnectionString));
    mark(Group::Recognition, SameBytes(before.recognition, after.recognition));
    mark(Group::Smtp, SameBytes(before.smtp, after.smtp));
    mark(Group::CamerasExt, SameBytes(before.camerasExt, after.camerasExt));
    mark(Group::CameraList, SameBytes(before.cameraList, after.cameraList));
    mark(Group::Alerts, SameBytes(before.alerts, after.alerts));
    mark(Group::UPActionSet, SameBytes(before.upActions, after.upActions));
    mark(Group::CsvFormat, SameBytes(before.csvFormat, after.csvFormat));
    mark(Group::ScriptRecognized, SameBytes(before.scriptRecognized, after.scriptRecognized));
    mark(Group::ScriptUnrecognized, SameBytes(before.scriptUnrecognized, after.scriptUnrecognized));
    mark(Group::Management, SameBytes(before.management, after.management) && before.stations == after.stations);
    mark(Group::Window, before.Maximized == after.Maximized && SameBytes(before.windowPos, after.windowPos) &&
                            SameBytes(before.PanelDivProportion, after.PanelDivProportion) &&
                            SameBytes(before.LeftPanelDivProportion, after.LeftPanelDivProportion) &&
                            SameBytes(before.DbDivProportion, after.DbDivProportion));
    mark(Group::DbWin, SameBytes(before.dbWin, after.dbWin));
    mark(Group::CurrentCamera, before.CurrentCameraIndex == after.CurrentCameraIndex);
    mark(Group::ViewFeatures, SameBytes(before.viewFeatures, after.viewFeatures));
    return changed;
}

Subscription::~Subscription() { End(); }

Subscription::Subscription(Subscription&& other) noexcept : hub_(other.hub_), id_(other.id_) {
    other.hub_ = nullptr;
}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        End();
        hub_ = other.hub_;
        id_ = other.id_;
        other.hub_ = nullptr;
    }
    return *this;
}

void Subscription::End() {
    if (hub_) hub_->Unsubscribe(id_);
    hub_ = nullptr;
}

SettingsHub::SettingsHub(SettingsState initial)
    : current_(std::make_shared<const SettingsState>(std::move(initial))) {}

SettingsHub::~SettingsHub() {
    std::lock_guard lock(subscribersLock_);
    OSTROVID_ASSERT(subscribers_.empty(), "every subscription ends before its hub");
}

SettingsSnapshot SettingsHub::Snapshot() const {
    std::lock_guard lock(currentLock_);
    return current_;
}

GroupSet SettingsHub::Publish(SettingsState next) {
    std::lock_guard publishing(publishLock_);
    return PublishLocked(std::move(next));
}

GroupSet SettingsHub::PublishLocked(SettingsState next) {
    auto published = std::make_shared<const SettingsState>(std::move(next));
    SettingsSnapshot previous = Snapshot();
    const GroupSet changed = ChangedGroups(*previous, *published);
    if (changed.Empty()) return changed;
    {
        std::lock_guard lock(currentLock_);
        current_ = published;
    }
    // Held through the calls, so that an ending subscription waits for its listener to return.
    std::lock_guard lock(subscribersLock_);
    for (const Subscriber& subscriber : subscribers_) {
        if (subscriber.groups.Intersects(changed)) subscriber.listener(published, changed);
    }
    return changed;
}

GroupSet SettingsHub::Update(const std::function<void(SettingsState&)>& change) {
    // The copy is taken under the publish lock, so two updates of different values both land.
    std::lock_guard publishing(publishLock_);
    SettingsState next = *Snapshot();
    change(next);
    return PublishLocked(std::move(next));
}

Subscription SettingsHub::Subscribe(GroupSet groups, Listener listener) {
    std::lock_guard lock(subscribersLock_);
    const uint64_t id = nextId_++;
    subscribers_.push_back(Subscriber{id, groups, std::move(listener)});
    return Subscription(this, id);
}

void SettingsHub::Unsubscribe(uint64_t id) {
    std::lock_guard lock(subscribersLock_);
    std::erase_if(subscribers_, [id](const Subscriber& subscriber) { return subscriber.id == id; });
}

}  // namespace settings

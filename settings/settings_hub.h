#pragma once
// Purpose: the one owner of the program's live settings. Readers take an immutable snapshot
//          of the whole set or of one group and keep it for the length of an operation, so a
//          change is never seen half-applied. A change builds a new set and publishes it whole;
//          subscribers of the groups it touches are told after the publish.
// Threads: any thread may take snapshots; they never wait for a publisher's work, only for a
//          pointer copy. Publishes are serialized: one at a time, its listeners called on the
//          publishing thread before the next publish starts.
// Owns: the current snapshot and the subscriptions. Made by the program's composition root and
//       handed to every part that reads settings; it outlives them.

#include "settings/settings_state.h"

#include <bitset>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

namespace settings {

// The groups of the settings as the store and the service's packets divide them, plus the
// window's own values.
enum class Group {
    AutoRun,
    DbConnectionString,
    Recognition,
    Smtp,
    CamerasExt,
    CameraList,
    Alerts,
    UPActionSet,
    CsvFormat,
    ScriptRecognized,
    ScriptUnrecognized,
    Management,  // with the station list
    Window,      // Maximized, the window's position and the three panel proportions
    DbWin,
    CurrentCamera,
    ViewFeatures,
};
inline constexpr int kGroupCount = static_cast<int>(Group::ViewFeatures) + 1;

class GroupSet {
public:
    GroupSet() = default;
    GroupSet(std::initializer_list<Group> groups) {
        for (Group group : groups) Add(group);
    }
    static GroupSet All() {
        GroupSet all;
        all.bits_.set();
        return all;
    }
    void Add(Group group) { bits_.set(static_cast<size_t>(group)); }
    bool Has(Group group) const { return bits_.test(static_cast<size_t>(group)); }
    bool Intersects(const GroupSet& other) const { return (bits_ & other.bits_).any(); }
    bool Empty() const { return bits_.none(); }
    bool operator==(const GroupSet&) const = default;

private:
    std::bitset<kGroupCount> bits_;
};

// The groups whose values differ between two sets, compared exactly.
GroupSet ChangedGroups(const SettingsState& before, const SettingsState& after);

using SettingsSnapshot = std::shared_ptr<const SettingsState>;

class SettingsHub;

// Ends its subscription when destroyed; waits for a listener call in progress on another thread,
// so the listener's object may go right after.
class Subscription {
public:
    Subscription() = default;
    ~Subscription();
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

private:
    friend class SettingsHub;
    Subscription(SettingsHub* hub, uint64_t id) : hub_(hub), id_(id) {}
    void End();

    SettingsHub* hub_ = nullptr;
    uint64_t id_ = 0;
};

class SettingsHub {
public:
    using Listener = std::function<void(const SettingsSnapshot& published, GroupSet changed)>;

    explicit SettingsHub(SettingsState initial = {});
    ~SettingsHub();
    SettingsHub(const SettingsHub&) = delete;
    SettingsHub& operator=(const SettingsHub&) = delete;

    SettingsSnapshot Snapshot() const;

    // One group of the current set, sharing the set's lifetime, e.g. hub.Get(&SettingsState::alerts).
    template <class Value>
    std::shared_ptr<const Value> Get(Value SettingsState::*member) const {
        SettingsSnapshot whole = Snapshot();
        const Value* part = &((*whole).*member);
        return std::shared_ptr<const Value>(std::move(whole), part);
    }

    // Makes `next` the current set and tells the subscribers of the groups that differ from the
    // set it replaces. Returns those groups; nothing is published when none differ.
    GroupSet Publish(SettingsState next);

    // Copy of the current set changed by `change`, published as above; for the window's own
    // values (position, proportions, filters, current camera) that change one at a time.
    GroupSet Update(const std::function<void(SettingsState&)>& change);

    // `listener` is called after each publish that changes any of `groups`. A listener must
    // neither publish nor subscribe; it may take snapshots.
    [[nodiscard]] Subscription Subscribe(GroupSet groups, Listener listener);

private:
    friend class Subscription;
    struct Subscriber {
        uint64_t id;
        GroupSet groups;
        Listener listener;
    };
    void Unsubscribe(uint64_t id);
    GroupSet PublishLocked(SettingsState next);  // publishLock_ held

    mutable std::mutex currentLock_;  // held only to copy or swap the pointer
    SettingsSnapshot current_;

    std::mutex publishLock_;  // one publish, with its listener calls, at a time
    std::mutex subscribersLock_;
    std::vector<Subscriber> subscribers_;
    uint64_t nextId_ = 1;
};

}  // namespace settings

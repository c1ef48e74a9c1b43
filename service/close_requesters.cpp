#include "service/close_requesters.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace service {

namespace {

using Clock = std::chrono::steady_clock;

// A listener that stays readable while nothing can be accepted (out of descriptors) would
// otherwise keep the thread spinning.
constexpr std::chrono::milliseconds kAcceptPause{50};

enum Slot : size_t { kStopSlot, kWakeSlot, kListenerSlot, kFirstHeldSlot };

int PollTimeout(Clock::time_point until) {
    if (until == Clock::time_point::max()) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CloseRequesters::CloseRequesters(std::unique_ptr<platform::NamedListeningSocket> socket) : socket_(std::move(socket)) {
    thread_ = platform::StartNamedThread("CloseRequesters", [this] { Serve(); });
}

CloseRequesters::~CloseRequesters() {
    stop_.Set();
    if (thread_.joinable()) thread_.join();
}

std::optional<platform::PeerCredentials> CloseRequesters::Take(uint32_t pid, const Payload& payload,
                                                               std::chrono::milliseconds wait) {
    std::optional<platform::PeerCredentials> found;
    std::unique_lock lock(mutex_);
    ready_.wait_for(lock, wait, [&] {
        for (Held& held : held_) {
            if (held.state != HeldState::Ready || static_cast<uint32_t>(held.peer.pid) != pid || held.bytes != payload)
                continue;
            held.state = HeldState::Done;
            found = held.peer;
            return true;
        }
        return false;
    });
    if (found) wake_.Set();
    return found;
}

void CloseRequesters::Serve() {
    std::vector<pollfd> slots;
    bool pause = false;
    for (;;) {
        Clock::time_point next;
        {
            std::lock_guard lock(mutex_);
            next = DropDone(Clock::now());
            slots.assign({{stop_.PollFd(), POLLIN, 0}, {wake_.PollFd(), POLLIN, 0}, {socket_->PollFd(), POLLIN, 0}});
            for (const Held& held : held_) slots.push_back({held.connection->get(), POLLIN, 0});
        }
        if (pause) slots[kListenerSlot].events = 0;
        const int pollTimeout = pause ? static_cast<int>(kAcceptPause.count()) : PollTimeout(next);
        if (poll(slots.data(), slots.size(), pollTimeout) < 0 && errno != EINTR) continue;
        if (slots[kStopSlot].revents) return;
        if (slots[kWakeSlot].revents) wake_.Wait(0);
        std::lock_guard lock(mutex_);
        bool arrived = false;
        // held_ is as it was when the slots were made: only this thread changes it.
        for (size_t i = 0; i < held_.size(); ++i)
            if (slots[kFirstHeldSlot + i].revents) arrived |= ReadFrom(held_[i]);
        pause = slots[kListenerSlot].revents && AcceptWaiting(Clock::now()) == 0;
        if (arrived) ready_.notify_all();
    }
}

Clock::time_point CloseRequesters::DropDone(Clock::time_point now) {
    Clock::time_point next = Clock::time_point::max();
    for (Held& held : held_) {
        if (held.state == HeldState::Reading && held.readBy <= now) held.state = HeldState::Done;
        if (held.state == HeldState::Reading) next = std::min(next, held.readBy);
    }
    std::erase_if(held_, [](const Held& held) { return held.state == HeldState::Done; });
    return next;
}

bool CloseRequesters::ReadFrom(Held& held) {
    if (held.state == HeldState::Done) return false;
    // One byte more than is missing: anything beyond the request, or its end, closes it.
    uint8_t buffer[std::tuple_size_v<Payload> + 1];
    const size_t want = held.bytes.size() - held.received + 1;
    const ssize_t got = recv(held.connection->get(), buffer, want, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return false;
    if (got <= 0 || static_cast<size_t>(got) == want) {
        held.state = HeldState::Done;
        return false;
    }
    std::memcpy(held.bytes.data() + held.received, buffer, static_cast<size_t>(got));
    held.received += static_cast<size_t>(got);
    if (held.received < held.bytes.size()) return false;
    held.state = HeldState::Ready;
    return true;
}

size_t CloseRequesters::AcceptWaiting(Clock::time_point now) {
    size_t accepted = 0;
    // A bounded number per turn, so a flood cannot keep the thread from reading.
    for (; accepted < kHeldInAll; ++accepted) {
        std::unique_ptr<platform::UniqueFd> connection = socket_->Accept();
        if (!connection) break;
        const std::optional<platform::PeerCredentials> peer = platform::PeerCredentialsOf(connection->get());
        if (!peer) continue;
        MakeRoomFor(peer->uid);
        held_.push_back({std::move(connection), *peer, {}, 0, now + kReadLimit, HeldState::Reading});
    }
    return accepted;
}

void CloseRequesters::MakeRoomFor(uid_t user) {
    // The oldest of the same user goes first: one account's flood pushes out only its own.
    const auto ofUser = [user](const Held& held) { return held.peer.uid == user; };
    if (static_cast<size_t>(std::count_if(held_.begin(), held_.end(), ofUser)) >= kHeldPerUser)
        held_.erase(std::find_if(held_.begin(), held_.end(), ofUser));
    if (held_.size() >= kHeldInAll) held_.erase(held_.begin());
}

}  // namespace service

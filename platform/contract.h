#pragma once
// Purpose: checked contracts. OSTROVID_ASSERT(condition, "message") states a rule the caller must
//   keep (the right thread, a lock held, an index in range). Debug and sanitizer builds define
//   OSTROVID_CONTRACTS and check it: a broken rule prints file:line, the condition and the
//   message to stderr and aborts. Release builds compile it out; the condition is not evaluated.
// Threads: any.
// Owns: nothing.

#include <thread>

namespace platform {

#if defined(OSTROVID_CONTRACTS)
inline constexpr bool kContractsChecked = true;
#else
inline constexpr bool kContractsChecked = false;
#endif

[[noreturn]] void ContractFailed(const char* file, int line, const char* condition, const char* message);

// The thread an object was made on, for objects whose every call must come from that thread.
class OwnerThread {
public:
    bool IsCurrent() const { return id_ == std::this_thread::get_id(); }

private:
    std::thread::id id_ = std::this_thread::get_id();
};

}  // namespace platform

#if defined(OSTROVID_CONTRACTS)
#define OSTROVID_ASSERT(condition, message) \
    ((condition) ? void(0) : ::platform::ContractFailed(__FILE__, __LINE__, #condition, message))
#else
#define OSTROVID_ASSERT(condition, message) void(sizeof(!(condition)))
#endif

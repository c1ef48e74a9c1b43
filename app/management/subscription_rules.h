#pragma once
// Purpose: what a subscription document asks for: the events, the watch lists and the picture
//          format, checked in the order the error codes are given.
// Threads: any thread.
// Owns: nothing.

#include "app/management/reply_document.h"
#include "app/management/session_link.h"

#include <QDomElement>

#include <cstdint>

namespace management {

// Event types 1-7 as EventMask bits 0-6.
constexpr uint32_t kAllEventBits = 0x7F;
constexpr uint32_t kCameraStateEventBit = 0x01;
// The event types that are filtered by watch list (3-6) and so need a ListMask.
constexpr uint32_t kListFilteredEventBits = 0x3C;
// Green, red and gray list as ListMask bits 0-2.
constexpr uint32_t kAllListBits = 0x07;

struct SubscriptionOutcome {
    ReplyError error;
    Subscription subscription;  // valid when there is no error
    // The EventMask asked for the camera state (bit 0), even if a later check refused the
    // subscription: the client then gets the current state at once.
    bool sendCameraStateNow = false;
};

SubscriptionOutcome ReadSubscription(const QDomElement& root);

}  // namespace management

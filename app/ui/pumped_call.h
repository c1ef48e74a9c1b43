#pragma once
// Purpose: runs a call that waits for another process (the settings saves) on a thread of its
//          own while the calling thread goes on handling its events (timers, posted results),
//          all but the operator's input, which waits until the call has ended.
// Threads: called on a thread with an event loop, normally the user-interface thread.
// Owns: the call's thread for the length of the call.

#include <functional>

namespace ui {

// Returns once `work` has ended, also when the application is asked to quit meanwhile.
void RunHandlingEvents(const std::function<void()>& work);

}  // namespace ui

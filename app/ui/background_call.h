#pragma once
// Purpose: runs a slow call (a database connect, a schema creation) on a thread of its own and
//          hands its result back on the user-interface thread, so that the window keeps painting.
// Threads: started and finished on the user-interface thread; the work runs on its own thread.
// Owns: the running thread until it ends.

#include <QThread>
#include <functional>
#include <memory>

namespace ui {

class BackgroundCall {
public:
    BackgroundCall() = default;
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;
    // Waits for a call still running: its work may use objects of the owner.
    ~BackgroundCall();

    bool Running() const { return thread_ != nullptr; }

    // Runs work on its own thread, then done on the thread of context. One call at a time.
    template <typename Result>
    void Start(QObject* context, std::function<Result()> work, std::function<void(Result)> done) {
        auto result = std::make_shared<Result>();
        StartThread(
            context, [work = std::move(work), result] { *result = work(); },
            [done = std::move(done), result] { done(std::move(*result)); });
    }

private:
    void StartThread(QObject* context, std::function<void()> work, std::function<void()> done);

    std::unique_ptr<QThread> thread_;
};

}  // namespace ui

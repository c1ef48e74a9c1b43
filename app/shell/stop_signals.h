#pragma once
// SIGINT and SIGTERM ask the program to close the way its user would: "Отмена" while it waits
// for the service, closing the main window afterwards. The signal handler only writes to a
// pipe; the request runs on the user-interface thread.

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace shell {

class StopSignals final : public QObject {
public:
    // Installs the handlers; one instance per process.
    StopSignals();
    ~StopSignals() override;

    // What a signal does now; replaced as the program moves from the splash to the window.
    void SetHandler(std::function<void()> handler) { handler_ = std::move(handler); }

private:
    void Drain();

    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> handler_;
};

}  // namespace shell

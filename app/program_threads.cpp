#include "app/program_threads.h"

#include "app/camera/hangup_detection.h"
#include "platform/log.h"

#include <system_error>

namespace app {

namespace {

// False (logged) when the thread cannot be started.
bool Start(std::thread& thread, const char* name, std::function<void()> body) {
    try {
        thread = platform::StartNamedThread(name, std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool StartOrLog(std::thread& thread, const char* function, const char* shownName, std::function<void()> body) {
    if (Start(thread, function, std::move(body))) return true;
    WriteLog(QStringLiteral("Error. Can't create %1.").arg(QLatin1String(shownName)));
    return false;
}

void WaitFor(std::thread& thread, const char* shownName) {
    if (!thread.joinable()) return;
    WriteLog(QStringLiteral("Destroy: Wait until %1 works...").arg(QLatin1String(shownName)));
    thread.join();
    WriteLog(QStringLiteral("Destroy: %1 completed.").arg(QLatin1String(shownName)));
}

}  // namespace

ProgramThreads::ProgramThreads(shell::ProgramObjects& objects, recognition::FaceModels& models,
                               const shell::Journal& journal, actions::ActionWorkers& workers,
                               settings::SettingsHub& hub)
    : objects_(objects),
      models_(models),
      journal_(journal),
      hub_(hub),
      csvLog_(hub),
      actions_(journal, workers, csvLog_),
      management_(journal, objects.TermEvent(), hub) {}

ProgramThreads::~ProgramThreads() {
    // Threads still running here mean the frame was never destroyed in order.
    if (svcLive_.joinable() || hangupDetection_.joinable() || dbCheck_.joinable() || actions_.ThreadRunning() || pool_)
        StopThreads();
}

bool ProgramThreads::StartServiceThreads() {
    platform::Event* term = &objects_.TermEvent();
    if (!StartOrLog(svcLive_, "SvcLiveThreadFunc", "SvcLiveThread",
                    [this] { objects_.Channel().SvcLiveThreadFunc(closeMainWindow_); }))
        return false;
    if (!StartOrLog(hangupDetection_, "HangupDetectionThreadFunc", "HangupDetectionThread",
                    [this, term] { camera::HangupDetectionThreadFunc(term, journal_, hub_); }))
        return false;
    if (!recognizedSink_) return false;
    pool_ = std::make_unique<recognition::PredictPool>(
        *term, *recognizedSink_, [this](int) { return models_.MakeDescriber(); }, workingSet_, hub_);
    return pool_->Start();
}

bool ProgramThreads::StartDataThreads() {
    if (!frameSink_) return false;
    synchronizer_ = std::make_unique<database::ModelSynchronizer>(objects_.TermEvent(), *frameSink_, journal_,
                                                                  workingSet_, hub_);
    // Logs the line of each event that could not be made; the program does not start without them.
    if (!synchronizer_->EventsCreated()) return false;
    if (!StartOrLog(dbCheck_, "DbCheckThreadFunc", "DbCheckThread", [this] { synchronizer_->DbCheckThreadFunc(); }))
        return false;
    if (!actions_.IsValid()) {
        WriteLog(QStringLiteral("Error. Can't create hNewActionItemInQueueEvent event object."));
        return false;
    }
    if (!actions_.StartThread(objects_.TermEvent())) {
        WriteLog(QStringLiteral("Error. Can't create ActionQueueThread."));
        return false;
    }
    return management_.StartServers();
}

void ProgramThreads::SignalTermination() { objects_.TermEvent().Set(); }

void ProgramThreads::StopThreads() {
    SignalTermination();
    management_.StopServers(u"Destroy");
    WaitFor(svcLive_, "SvcLiveThread");
    WaitFor(hangupDetection_, "HangupDetectionThread");
    WaitFor(dbCheck_, "DbCheckThread");
    if (actions_.ThreadRunning()) {
        WriteLog(QStringLiteral("Destroy: Wait until ActionQueueThread works..."));
        actions_.WaitForThread();
        WriteLog(QStringLiteral("Destroy: ActionQueueThread completed."));
    }
    if (pool_) {
        WriteLog(QStringLiteral("Destroy: Wait until Prediction Threads works..."));
        pool_->Stop();
        pool_.reset();
        WriteLog(QStringLiteral("Destroy: All Prediction Threads completed."));
    }
    synchronizer_.reset();
    WriteLog(QStringLiteral("Call ClearActionQueue()"));
    actions_.ClearActionQueue();
    WriteLog(QStringLiteral("After ClearActionQueue()"));
}

}  // namespace app

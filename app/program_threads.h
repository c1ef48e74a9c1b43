#pragma once
// The program's worker threads in their start and stop order: the service watchdog, the
// hang-up detector, the 16 prediction workers, the database check, the action queue, the
// management servers. They read the settings from the program's hub.

#include "app/actions/action_queue.h"
#include "app/actions/csv_log.h"
#include "app/database/model_sync.h"
#include "app/program_management.h"
#include "app/recognition/face_models.h"
#include "app/recognition/predict_pool.h"
#include "app/shell/frame_lifecycle.h"
#include "app/shell/journal.h"
#include "app/shell/program_objects.h"
#include "settings/settings_hub.h"

#include <functional>
#include <memory>
#include <thread>

namespace app {

class ProgramThreads final : public shell::FrameLifecycle {
public:
    // The journal takes the threads' entries and the workers run the queue's scripts and mails;
    // they and the hub must outlive the threads.
    ProgramThreads(shell::ProgramObjects& objects, recognition::FaceModels& models, const shell::Journal& journal,
                   actions::ActionWorkers& workers, settings::SettingsHub& hub);
    ~ProgramThreads() override;
    ProgramThreads(const ProgramThreads&) = delete;
    ProgramThreads& operator=(const ProgramThreads&) = delete;

    // Set by the main frame before its creation starts the threads.
    void SetCloseMainWindow(std::function<void()> close) { closeMainWindow_ = std::move(close); }
    void SetRecognizedDataSink(recognition::RecognizedDataSink* sink) { recognizedSink_ = sink; }
    void SetMainFrameSink(database::MainFrameSink* sink) { frameSink_ = sink; }

    bool StartServiceThreads() override;
    bool StartDataThreads() override;
    void SignalTermination() override;
    void StopThreads() override;

    // Null until started.
    recognition::PredictPool* Pool() const { return pool_.get(); }
    database::ModelSynchronizer* Synchronizer() const { return synchronizer_.get(); }
    actions::ActionQueue& Actions() { return actions_; }
    // The settings sheet restarts it after a change of the CSV format.
    actions::RecognitionLog& CsvLog() { return csvLog_; }
    ProgramManagement& Management() { return management_; }

private:
    shell::ProgramObjects& objects_;
    recognition::FaceModels& models_;
    const shell::Journal& journal_;
    settings::SettingsHub& hub_;
    std::function<void()> closeMainWindow_;
    recognition::RecognizedDataSink* recognizedSink_ = nullptr;
    database::MainFrameSink* frameSink_ = nullptr;
    // The working model set: the workers match against it, the synchronizer keeps it equal to the
    // database. Declared before both, so it outlives them.
    recognition::PersonModelSortedList workingSet_;
    std::thread svcLive_;
    std::thread hangupDetection_;
    std::unique_ptr<recognition::PredictPool> pool_;
    std::unique_ptr<database::ModelSynchronizer> synchronizer_;
    std::thread dbCheck_;
    actions::RecognitionLog csvLog_;
    actions::ActionQueue actions_;
    ProgramManagement management_;
};

}  // namespace app

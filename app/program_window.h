#pragma once
// The running program after start-up: the worker threads, the workers' result sink and the main
// window, wired to each other and to the program's settings hub. Made after the service channel
// is open, the models are loaded and the settings are read into the hub, which outlives it.

#include "app/actions/alert_outputs.h"
#include "app/actions/program_action_workers.h"
#include "app/actions/speech_voice.h"
#include "app/program_services.h"
#include "app/program_threads.h"
#include "app/recognition/recognized_data_event.h"
#include "app/ui/main_frame.h"

namespace app {

// The sound and speech made at start-up, which outlive the window.
struct ProgramAlerts {
    actions::AlertOutputs* outputs = nullptr;
    // Null: no speech test is offered.
    actions::SpeechVoices* voices = nullptr;
    // Null: the program's own script and mail workers.
    actions::ActionWorkers* workers = nullptr;
};

class ProgramWindow {
public:
    ProgramWindow(shell::ProgramObjects& objects, recognition::FaceModels& models, settings::SettingsHub& hub,
                  ProgramAlerts alerts);
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    // The main frame's creation, which starts the worker threads; false ends start-up.
    bool Create() { return frame_.Create(); }
    ui::MainFrame& Frame() { return frame_; }

private:
    // Declared first: every part below posts to it until it is destroyed.
    shell::Journal journal_;
    actions::ProgramActionWorkers ownWorkers_;
    ProgramThreads threads_;
    ProgramServices services_;
    recognition::PostingRecognizedDataSink recognizedSink_;
    ui::MainFrame frame_;
};

}  // namespace app

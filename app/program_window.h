#pragma once
// The running program after start-up: the worker threads, the workers' result sink and the main
// window, wired to each other. Made after the service channel is open, the models are loaded and
// the settings are read.

#include "app/program_threads.h"
#include "app/recognition/recognized_data_event.h"
#include "app/ui/main_frame.h"

namespace app {

class ProgramWindow {
public:
    ProgramWindow(shell::ProgramObjects& objects, recognition::FaceModels& models);
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    // The main frame's creation, which starts the worker threads; false ends start-up.
    bool Create() { return frame_.Create(); }
    ui::MainFrame& Frame() { return frame_; }

private:
    // Declared first: every part below posts to it until it is destroyed.
    shell::Journal journal_;
    ProgramThreads threads_;
    recognition::PostingRecognizedDataSink recognizedSink_;
    ui::MainFrame frame_;
};

}  // namespace app

#pragma once
// Purpose: the stream test "Проверка захвата потока видео" of the camera dialog: runs a
//          camera::StreamTestWorker on the camera being edited, shows its newest frame every
//          100 ms scaled to a height of 240 with the frame's size, reports how the test ended
//          in a message box and closes. The rules are StreamTestState's.
// Threads: the user-interface thread; the worker's two reports come from its thread and are
//          queued to this one.
// Owns: the worker (its thread is joined before the dialog goes), the state and its child
//       widgets.

#include "app/camera/stream_test.h"
#include "app/ui/stream_test_state.h"

#include <QDialog>

#include <functional>

#include <opencv2/core.hpp>

class QLabel;
class QPushButton;
class QTimer;

namespace ui {

// Shows a message of the stream test to the operator; tests replace it so that no modal box
// blocks them.
using StreamTestMessage = std::function<void(const QString& text, QWidget* parent)>;
// The program's box: its title and an error icon.
void ShowStreamTestError(const QString& text, QWidget* parent);

class StreamTestDialog final : public QDialog, private camera::StreamTestWorker::Listener {
public:
    // params: the camera as edited, a web camera already matched to its device.
    StreamTestDialog(const camera::StreamTestParams& params, StreamTestMessage message, QWidget* parent = nullptr);
    ~StreamTestDialog() override;

    // Starts the test before the dialog is shown. False (after the message box) when an IP
    // camera's host has no address: the dialog must not be shown.
    bool Start();
    const StreamTestState& State() const { return state_; }

    // OK, "Отмена", Escape and closing the window: the first stops the worker; the dialog ends
    // only once the worker has finished.
    void done(int result) override;

private:
    void StreamOpened(int width, int height) override;
    void StreamTestFinished() override;
    void ShowFinished();
    void Tick();
    void ShowFrame(const cv::Mat& frame);

    camera::StreamTestParams params_;
    StreamTestMessage message_;
    StreamTestState state_;
    camera::StreamTestWorker worker_;
    QTimer* timer_ = nullptr;
    QLabel* picture_ = nullptr;
    QLabel* resolution_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// The camera dialog's "Проверка...": a web camera is first matched to a present device and
// refused when none matches or when the program has it open already; then the dialog runs.
void RunStreamTest(const camera::StreamTestParams& params, QWidget* parent,
                   const StreamTestMessage& message = ShowStreamTestError);

// The program's service for CameraDialogServices::testStream.
std::function<void(const camera::StreamTestParams&, QWidget*)> StreamTestService(
    StreamTestMessage message = ShowStreamTestError);

}  // namespace ui

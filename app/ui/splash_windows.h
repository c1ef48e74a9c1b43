#pragma once
// The splash-style windows: the start-up wait for the service, the model-loading window and
// the about box, all on the splash background; and the small "connecting" animation.

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

namespace ui {

inline const QString kProgramTitle = QStringLiteral("Vektra Ostrovid v.2.2.0");

// A running bar that says "waiting" (the AVI animation of the original windows).
class ConnectingAnimation final : public QWidget {
public:
    explicit ConnectingAnimation(QWidget* parent = nullptr);
    void Play();
    void Stop();
    bool Playing() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QTimer timer_;
    int phase_ = 0;
};

// Waits, behind the splash, until the program's shared objects exist and the service channel
// is open. attempt() returns 0 on failure, 1 when attached, 2 to keep waiting; it runs at once
// and then every second. exec() returns 1 when attached, 2 on failure or "Отмена".
class InitSyncObjectsDialog final : public QDialog {
public:
    explicit InitSyncObjectsDialog(std::function<int()> attempt, QWidget* parent = nullptr);

    void reject() override;  // "Отмена" and Escape

private:
    void Attempt();

    std::function<int()> attempt_;
    QTimer timer_;
    bool attempting_ = false;
};

// Modeless, visible while the working model set is built; "Закрыть" only hides it.
class ModelLoadingWindow final : public QWidget {
public:
    explicit ModelLoadingWindow(QWidget* parent = nullptr);
    void SetText(const QString& text);
    QString Text() const;
    // Called when "Закрыть" hid the window.
    std::function<void()> onClosed;

private:
    QLabel* text_;
    ConnectingAnimation* animation_;
};

// Modal about box.
class AboutBox final : public QDialog {
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace ui

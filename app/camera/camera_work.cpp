#include "app/camera/camera_work.h"

#include "app/camera/camera_list.h"
#include "app/camera/video_devices.h"
#include "app/shell/journal.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/log_masking.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <system_error>
#include <thread>

namespace camera {

CameraWork g_CameraWork;
int32_t g_CameraStarted = 0;

namespace {

using shell::CameraIcon;
using shell::StatusBar;
using shell::StatusIcon;
using namespace shell::literals;

constexpr std::chrono::milliseconds kRetryPause{5000};
constexpr std::chrono::milliseconds kWebPoll{80};
constexpr std::chrono::milliseconds kIpPoll{10};

std::atomic<CameraStateBroadcaster*> g_broadcaster{nullptr};
std::thread g_cameraWorkThread;  // hCameraWorkThread
// hCameraStopEvent: made before a capture thread starts, never replaced while one runs.
std::unique_ptr<platform::Event> g_cameraStopEvent;

void Broadcast(CameraState state, int operation) {
    if (CameraStateBroadcaster* broadcaster = g_broadcaster.load(std::memory_order_acquire)) {
        broadcaster->BroadcastCameraState(state, operation);
    }
}

int64_t Now() { return int64_t(std::time(nullptr)); }

// The camera name is copied: the record is overwritten by the next start while the entry may
// still wait in the queue.
void PostCameraEntry(const shell::Journal& journal, CameraIcon icon, QString text, const CameraWork& work,
                     StatusIcon statusIcon) {
    journal.PostCamera(icon, std::move(text), platform::FromFixed(work.descriptor.Name), StatusBar::Show, statusIcon);
}

// A copy of the current camera, or false when none is selected.
bool CurrentCamera(const settings::SettingsState& s, settings::CameraDescriptor* camera) {
    const int index = s.CurrentCameraIndex;
    if (index < 0 || index >= int(s.cameraList.Count) || index >= settings::kMaxCameras ||
        !s.cameraList.Cameras[index].InUse) {
        return false;
    }
    *camera = s.cameraList.Cameras[index];
    return true;
}

// Checks the camera can be reached, completing its description (the web camera's missing half,
// the IP camera's address); logs and journals a refusal.
bool LocateCamera(const shell::Journal& journal, settings::CameraDescriptor& camera, StreamAddress& address) {
    if (camera.Type == kIpCamera) {
        WriteLog(QStringLiteral("Определение IP-адреса и порта камеры..."));
        ResolveStreamAddress(platform::FromFixed(camera.Source.Url), &address);
        if (!AddressKnown(address.address)) {
            WriteLog(QStringLiteral("Невозможно определить IP-адрес хоста камеры. Отмена старта."));
            journal.PostCamera(CameraIcon::Error, u"Камера недоступна"_jt,
                               u"Невозможно получить IP-адрес хоста камеры"_jt, StatusBar::Show, StatusIcon::Error);
            return false;
        }
        WriteLog(QStringLiteral("IP-адрес камеры: %1, Порт: %2").arg(DottedAddress(address.address)).arg(address.port));
        return true;
    }
    WriteLog(QStringLiteral("Проверка существования Web-камеры..."));
    if (!ResolveWebCamera(&camera)) {
        WriteLog(QStringLiteral("Web-камеры с заданными параметрами нет в системе. Отмена старта."));
        journal.PostCamera(CameraIcon::Error, u"Камера недоступна"_jt,
                           u"Камера с заданными параметрами отсутствует в системе"_jt, StatusBar::Show,
                           StatusIcon::Error);
        return false;
    }
    WriteLog(QStringLiteral("Выбрана Web-камера. Номер %1, Путь устройства %2")
                 .arg(camera.Source.Web.CaptureDeviceNumber)
                 .arg(platform::FromFixed(camera.Source.Web.DevicePath)));
    return true;
}

void SetActivity(CameraWork& work, int32_t opened) {
    platform::CriticalSectionLock lock(CameraWorkLock());
    if (opened >= 0) {
        work.opened = opened;
    }
    work.lastActivity = Now();
}

}  // namespace

void SetCameraStateBroadcaster(CameraStateBroadcaster* broadcaster) {
    g_broadcaster.store(broadcaster, std::memory_order_release);
}

platform::CriticalSection& CameraWorkLock() {
    static platform::CriticalSection lock;
    return lock;
}

bool MakeCameraStopEvent() {
    if (g_cameraStopEvent) return true;
    auto made = std::make_unique<platform::Event>(true, false);
    if (!made->IsValid()) {
        WriteLog(QStringLiteral("Error. Can't create hCameraStopEvent event object."));
        return false;
    }
    g_cameraStopEvent = std::move(made);
    return true;
}

bool CameraThreadExists() { return g_cameraWorkThread.joinable(); }

CameraControl::~CameraControl() { StopCamera(true); }

void CameraControl::StartCamera() {
    WriteLog(QStringLiteral("Команда на старт камеры..."));
    settings::CameraDescriptor current{};
    if (!CurrentCamera(*hub_.Snapshot(), &current)) {
        WriteLog(QStringLiteral("Не задана текущая камера. Отмена старта."));
        return;
    }
    if (CameraThreadExists()) {
        WriteLog(QStringLiteral("Дескриптор рабочего потока камеры не NULL. Отмена старта."));
        return;
    }
    {
        platform::CriticalSectionLock lock(CameraWorkLock());
        g_CameraWork = CameraWork{};
        g_CameraWork.descriptor = current;
    }
    CameraWork& work = g_CameraWork;
    const QString name = platform::FromFixed(current.Name);
    if (current.Type == kIpCamera) {
        WriteLog(QStringLiteral("Параметры камеры: (%1) IP-камера, %2")
                     .arg(name, settings::CameraUrlForLog(platform::FromFixed(current.Source.Url))));
    } else {
        WriteLog(QStringLiteral("Параметры камеры: (%1) Web-камера, Номер %2, Путь устройства %3")
                     .arg(name)
                     .arg(current.Source.Web.CaptureDeviceNumber)
                     .arg(platform::FromFixed(current.Source.Web.DevicePath)));
    }
    // Resolved outside the lock (a name lookup may take a while), stored under it.
    StreamAddress address;
    if (!LocateCamera(journal_, current, address)) {
        return;
    }

    platform::CriticalSection& workLock = CameraWorkLock();
    workLock.Enter();
    work.descriptor = current;
    work.address = address;
    work.lastFrame = std::make_unique<cv::Mat>();
    work.pCvSream = std::make_unique<CvStream>();
    SetUpStream(*work.pCvSream, work.descriptor);
    // Without its events the thread could neither be stopped nor hand over a frame: its wait
    // would fail at once, every time.
    const bool eventsMade = MakeCameraStopEvent() && work.pCvSream->newFrameEvent.IsValid();
    if (eventsMade) g_cameraStopEvent->Reset();
    WriteLog(QStringLiteral("Создание рабочего потока камеры..."));
    bool started = false;
    if (eventsMade) {
        try {
            CameraPanel* panel = &panel_;
            g_cameraWorkThread = platform::StartNamedThread(
                "WorkCamThreadFunc", [&work, panel, &journal = journal_] { WorkCamThreadFunc(&work, panel, journal); });
            started = true;
        } catch (const std::system_error&) {
        }
    }
    if (started) {
        g_CameraStarted = 1;
        WriteLog(QStringLiteral("Камера стартована."));
        panel_.ShowCameraStarted();
        PostCameraEntry(journal_, CameraIcon::ThreadStarted, u"Поток камеры стартован"_jt, work, StatusIcon::Working);
        workLock.Leave();
        panel_.RefreshToolbar();
        return;
    }
    WriteLog(QStringLiteral("Ошибка создания рабочего потока камеры"));
    work.lastFrame.reset();
    work.pCvSream.reset();
    workLock.Leave();
    journal_.PostCamera(CameraIcon::Error, u"Ошибка запуска потока захвата видео"_jt, QString(), StatusBar::Show,
                        StatusIcon::Error);
}

void CameraControl::StopCamera(bool silent) {
    if (!CameraThreadExists()) {
        return;
    }
    WriteLog(QStringLiteral("Остановка рабочего потока камеры..."));
    g_cameraStopEvent->Set();
    g_cameraWorkThread.join();
    WriteLog(QStringLiteral("hCameraWorkThread singaled..."));
    g_cameraWorkThread = std::thread();
    panel_.HideCameraPicture();
    WriteLog(QStringLiteral("Deleting g_CameraWork.pCvSream..."));
    g_CameraWork.pCvSream.reset();
    panel_.DiscardSubjects();
    {
        platform::CriticalSectionLock lock(CameraWorkLock());
        g_CameraStarted = 0;
        panel_.ClearFrameState();
        g_CameraWork.lastFrame.reset();
    }
    WriteLog(QStringLiteral("Рабочий поток камеры остановлен."));
    panel_.ShowCameraStopped();
    if (!silent) {
        PostCameraEntry(journal_, CameraIcon::ThreadStopped, u"Поток камеры остановлен"_jt, g_CameraWork,
                        StatusIcon::None);
        Broadcast(CameraState::Iddle, kCameraOpStopped);
    }
    panel_.RefreshToolbar();
}

void WorkCamThreadFunc(CameraWork* work, CameraPanel* panel, const shell::Journal& journal) {
    WriteLog(QStringLiteral("WorkCamThreadFunc enter."));
    {
        platform::CriticalSectionLock lock(CameraWorkLock());
        work->opened = 0;
    }
    Broadcast(CameraState::Works, kCameraOpThreadStarted);
    CvStream& stream = *work->pCvSream;
    const std::chrono::milliseconds poll = work->descriptor.Type == kIpCamera ? kIpPoll : kWebPoll;
    std::chrono::milliseconds wait{0};
    bool open = false;
    bool firstFrame = false;
    for (;;) {
        if (g_cameraStopEvent->Wait(wait)) {
            WriteLog(QStringLiteral("WorkCamThreadFunc: StopEvent signaled."));
            CloseStream(stream);
            WriteLog(QStringLiteral("WorkCamThreadFunc exit."));
            return;
        }
        if (!open) {
            SetActivity(*work, -1);
            if (!OpenStream(stream)) {
                panel->PostShowAnimation();
                WriteLog(QStringLiteral("WorkCamThreadFunc: Ошибка открытия камеры. Пауза перед попыткой открытия..."));
                journal.PostCamera(CameraIcon::Error, u"Ошибка открытия камеры"_jt,
                                   u"Пауза перед попыткой открытия..."_jt, StatusBar::Show, StatusIcon::Error);
                wait = kRetryPause;
                continue;
            }
            {
                platform::CriticalSectionLock lock(CameraWorkLock());
                work->opened = 1;
            }
            Broadcast(CameraState::Works, kCameraOpOpened);
            WriteLog(QStringLiteral("WorkCamThreadFunc: Камера открыта. OK."));
            journal.PostCamera(CameraIcon::Info, u"Камера открыта"_jt, QString(), StatusBar::Show, StatusIcon::Working);
            open = true;
            firstFrame = true;
        }
        if (ReadFrame(stream)) {
            if (firstFrame) {
                firstFrame = false;
                int width = 0;
                int height = 0;
                {
                    platform::CriticalSectionLock lock(stream.frameLock);
                    width = stream.frame.cols;
                    height = stream.frame.rows;
                }
                if (width != 0 && height != 0) {
                    journal.PostCamera(CameraIcon::Info, u"Разрешение камеры"_jt,
                                       QString::asprintf("%dx%d", width, height), StatusBar::Leave, StatusIcon::None);
                }
            }
            SetActivity(*work, -1);
            wait = poll;
            continue;
        }
        WriteLog(QStringLiteral("WorkCamThreadFunc: Ошибка получения кадра из потока."));
        stream.newFrameEvent.Reset();
        WriteLog(QStringLiteral("WorkCamThreadFunc: Закрытие камеры."));
        CloseStream(stream);
        SetActivity(*work, 0);
        Broadcast(CameraState::Works, kCameraOpClosed);
        WriteLog(QStringLiteral("WorkCamThreadFunc: Камера закрыта. Пауза перед следующей попыткой открытия..."));
        journal.PostCamera(CameraIcon::Error, u"Ошибка получения кадра из потока"_jt,
                           u"Камера закрыта. Пауза перед попыткой открытия..."_jt, StatusBar::Show, StatusIcon::Error);
        panel->PostShowAnimation();
        wait = kRetryPause;
        open = false;
    }
}

}  // namespace camera

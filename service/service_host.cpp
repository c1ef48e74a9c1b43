#include "service/service_host.h"

#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/named_socket.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/syserror.h"
#include "service/app_comm.h"
#include "service/close_requesters.h"
#include "service/command_line.h"
#include "service/damaged_store.h"
#include "service/event_log.h"
#include "service/service_files.h"
#include "settings/channel_packet.h"
#include "settings/registry_names.h"

#include <systemd/sd-daemon.h>

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>

namespace service {

namespace ch = settings::channel;

namespace {

// The stop request of a signal; the handler may run before the stop event exists.
std::atomic<platform::Event*> g_serviceStopEvent{nullptr};
std::atomic<int> g_stopRequested{0};
// Service mode: a stop signal only wakes the control thread. Never destroyed, so a late signal
// finds it intact.
std::atomic<platform::Event*> g_controlSignal{nullptr};

void RequestStop() {
    g_stopRequested = 1;
    if (platform::Event* stop = g_serviceStopEvent.load()) stop->Set();
}

void OnStopSignal(int) {
    const int savedErrno = errno;
    if (platform::Event* control = g_controlSignal.load())
        control->Set();
    else
        RequestStop();
    errno = savedErrno;
}

// Debug mode: Ctrl+C, Ctrl+\ (the console's Ctrl+Break) and SIGTERM; started by systemd, the stop
// request is SIGTERM (SIGINT is honoured too).
void InstallStopHandler(bool debug) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
    if (debug) sigaction(SIGQUIT, &action, nullptr);
}

// Stands in for the service control handler in service mode. systemd stops the service with
// SIGTERM whether it is stopped alone or the machine shuts down; this thread asks the service
// manager which it is, so that a shutdown gets its event and log line before the stop.
class ControlThread {
public:
    ControlThread() {
        g_controlSignal = &Signal();
        thread_ = platform::StartNamedThread("ServiceControl", [this] { Serve(Signal()); });
    }
    ~ControlThread() {
        quit_.Set();
        thread_.join();
        // Signals from now on set the stop event directly.
        g_controlSignal = nullptr;
    }
    ControlThread(const ControlThread&) = delete;
    ControlThread& operator=(const ControlThread&) = delete;

private:
    static platform::Event& Signal() {
        static platform::Event* const signal = new platform::Event(false, false);
        return *signal;
    }

    void Serve(platform::Event& signal) {
        bool shutdownReported = false;
        while (platform::WaitForAny({&quit_, &signal}, platform::kInfinite) == 1) {
            if (!shutdownReported && SystemIsShuttingDown()) {
                shutdownReported = true;
                WriteEventLogEntry(kEventShutdown, EventType::Warning, QLatin1String(kServiceName));
                WriteLog(QStringLiteral(
                    "Service will be stopped because SERVICE_CONTROL_SHUTDOWN control code was accepted."));
            }
            RequestStop();
        }
    }

    platform::Event quit_{true, false};
    std::thread thread_;
};

enum class ServiceState { StartPending, Running, StopPending, Stopped };

class Host {
public:
    explicit Host(bool debug) : debug_(debug) {}

    // Service mode only. A report that cannot be delivered writes its event and answers false.
    bool Report(ServiceState state, int waitHintMs) {
        const int checkPoint = state == ServiceState::Running || state == ServiceState::Stopped ? 0 : checkPoint_++;
        QByteArray message;
        switch (state) {
        case ServiceState::StartPending:
            message = QString::asprintf("STATUS=Start pending, check point %d", checkPoint).toUtf8();
            if (waitHintMs > 0)
                message += QString::asprintf("\nEXTEND_TIMEOUT_USEC=%lld", waitHintMs * 1000LL).toUtf8();
            break;
        case ServiceState::Running:
            message = "READY=1\nSTATUS=Running";
            break;
        case ServiceState::StopPending:
            message = QString::asprintf("STOPPING=1\nSTATUS=Stop pending, check point %d", checkPoint).toUtf8();
            break;
        case ServiceState::Stopped:
            message = "STATUS=Stopped";
            break;
        }
        const int rc = sd_notify(0, message.constData());
        if (rc >= 0) return true;
        WriteEventLogEntry(kEventStatusReportFailed, EventType::Error,
                           platform::FormatSystemError(platform::ErrorCodeFromErrno(-rc)));
        return false;
    }

    // The stop handler comes before the objects in both modes: a stop signal's default action
    // would end the process with their names left in /dev/shm.
    void Run() {
        if (debug_) InstallStopHandler(true);
        if (CreateSharedObjects() && (debug_ || Report(ServiceState::StartPending, 0))) Serve();
        ReleaseObjects();
    }

private:
    static bool Fail(const char* text) {
        WriteLog(QLatin1String(text));
        return false;
    }

    // The object belongs to the group ostrovid whichever side made it (platform/ipc.h); an object a
    // member made first is used as it is.
    static bool MakeNamed(int created, const char* createFailure) {
        return created == platform::kErrorSuccess || Fail(createFailure);
    }

    // A store that does not load whole is kept aside and not saved; the service still runs when
    // the key is among what loaded, so the program can start and its saves are refused.
    bool CreateAppKey() {
        const QString path = platform::RegistryFilePath();
        platform::RegistryStore store(path);
        if (store.Load() != platform::kErrorSuccess) return false;
        if (store.Integrity() == platform::StoreIntegrity::Damaged) KeepDamagedStoreAside(path, store.DamagedLine());
        if (store.KeyExists(settings::regnames::kAppKey)) return true;
        return store.CreateKey(settings::regnames::kAppKey) == platform::kErrorSuccess &&
               store.Save() == platform::kErrorSuccess;
    }

    bool CreateSharedObjects() {
        if (!debug_ && !Report(ServiceState::StartPending, 3000)) return false;
        if (!CreateAppKey()) return Fail("Error. Can't create the REG_OSTROVID_APP_HK registry key.");

        serviceStop_ = std::make_unique<platform::Event>(true, false);
        if (serviceStop_->PollFd() < 0) return Fail("Can't create the ServiceStopEvent object");
        g_serviceStopEvent = serviceStop_.get();
        if (g_stopRequested) serviceStop_->Set();
        threadTerm_ = std::make_unique<platform::Event>(true, false);
        if (threadTerm_->PollFd() < 0) return Fail("Can't create the ThreadTermEvent object");

        if (!MakeNamed(svcMutex_.Create(ch::kServiceMutexName), "Error. Can't create GlobalSvcMutex object"))
            return false;
        // A service that died before leaves the mutex abandoned; ownership passes all the same. A
        // stop asked for while another service holds it ends the start.
        switch (platform::WaitForAny({&svcMutex_, serviceStop_.get()}, platform::kInfinite)) {
        case 0:
            break;
        case 1:
            return false;
        default:
            return Fail("Error. Can't create GlobalSvcMutex object");
        }

        if (!MakeNamed(readyEvent_.Create(ch::kReplyEventName), "Error. Can't create GlobalSvcReady4AppEvent object"))
            return false;
        if (!MakeNamed(requestEvent_.Create(ch::kRequestEventName), "Error. Can't create GlobalApp2SvcEvent object"))
            return false;
        // Never mapped here: the channel thread reads and writes it through the descriptor.
        if (!MakeNamed(area_.Create(ch::kMapFileName, ch::kAreaSize), "Error. Can't create App2SvcMapFile object"))
            return false;
        if (!CreateCloseRequesters()) return false;
        return MakeNamed(appMutex_.Create(ch::kAppMutexName), "Error. Can't create GlobalOstrovidAppMutex object");
    }

    // Before the program mutex, so a program that attaches finds the socket in place.
    bool CreateCloseRequesters() {
        constexpr const char* failure = "Error. Can't create CloseSocket object";
        auto socket = std::make_unique<platform::NamedListeningSocket>();
        if (!MakeNamed(socket->Create(ch::kCloseSocketName, CloseRequesters::kBacklog), failure)) return false;
        try {
            closeRequesters_ = std::make_unique<CloseRequesters>(std::move(socket));
        } catch (const std::system_error&) {
            return Fail(failure);
        }
        return true;
    }

    void Serve() {
        const AppCommObjects objects{threadTerm_.get(), &requestEvent_, &readyEvent_, &area_,
                                     platform::RegistryFilePath(), closeRequesters_.get()};
        std::thread appComm;
        try {
            appComm = platform::StartNamedThread("AppCommThreadFunc", [objects] { AppCommThreadFunc(objects); });
        } catch (const std::system_error&) {
            // Not reported: the service runs without a channel until it is stopped.
        }
        bool running = true;
        if (debug_) {
            std::fputs("Press Ctrl+Break to EXIT...\n", stdout);
            std::fflush(stdout);
        } else if ((running = Report(ServiceState::Running, 0))) {
            WriteEventLogEntry(kEventRunning, EventType::Information, QLatin1String(kServiceName));
        }
        if (running) {
            WriteLog(QStringLiteral("Ostrovid Service 2.2.0 is running."));
            serviceStop_->Wait(platform::kInfinite);
            WriteLog(QStringLiteral("ServiceStopEvent singaled."));
            if (!debug_) Report(ServiceState::StopPending, 0);
        }
        // Also when running could not be reported: the objects are released next, and the thread
        // must not be using them.
        threadTerm_->Set();
        if (appComm.joinable()) {
            WriteLog(QStringLiteral("Wait until AppCommThread works..."));
            appComm.join();
            WriteLog(QStringLiteral("AppCommThread completed."));
        }
    }

    // The names of the objects this service made go with it, so a clean stop leaves nothing
    // in /dev/shm; those a program made stay its own. The name goes with the area too, so a
    // program started later waits for the next service. The service mutex loses its name before
    // it is released, so a service started meanwhile makes its own instead of sharing one that
    // is about to lose its name.
    void ReleaseObjects() {
        appMutex_.RemoveCreatedName();
        appMutex_.Close();
        area_.Close(true);
        closeRequesters_.reset();
        readyEvent_.RemoveCreatedName();
        readyEvent_.Close();
        requestEvent_.RemoveCreatedName();
        requestEvent_.Close();
        svcMutex_.RemoveCreatedName();
        svcMutex_.Release();
        svcMutex_.Close();
        g_serviceStopEvent = nullptr;
        threadTerm_.reset();
        serviceStop_.reset();
    }

    bool debug_;
    int checkPoint_ = 1;
    std::unique_ptr<platform::Event> serviceStop_;
    std::unique_ptr<platform::Event> threadTerm_;
    platform::NamedMutex svcMutex_;
    platform::NamedEvent readyEvent_;
    platform::NamedEvent requestEvent_;
    platform::NamedSharedMemory area_;
    // Its thread ends and its socket's name goes with it.
    std::unique_ptr<CloseRequesters> closeRequesters_;
    platform::NamedMutex appMutex_;
};

void LogNotes(const platform::FolderReport& report) {
    for (const QString& note : report.notes) WriteLog(note);
}

// The log folder is made before there is a log: what it says goes to standard error (the
// journal under systemd), and without a usable folder the service runs without a log.
void OpenServiceLog() {
    const platform::FolderReport folder = PrepareLogFolder();
    if (folder.error != platform::kErrorSuccess) {
        for (const QString& note : folder.notes) std::fprintf(stderr, "%s\n", qUtf8Printable(note));
        std::fprintf(stderr, "OstrovidSvc runs without its log.\n");
        return;
    }
    const QString log = ServiceLogFolder();
    platform::SetLogFile(log + QStringLiteral("/OstrovidSvc.log"), log + QStringLiteral("/OstrovidSvc1.log"),
                         platform::LogReaders::Operators);
    WriteLog(QStringLiteral("Starting..."));
    LogNotes(folder);
}

// The store's folder and COMMON_APPDATA + "/Vektra/Ostrovid", the program data folder; a folder
// that is a link or cannot be made stops the service.
bool PrepareDataFolder() {
    if (platform::CommonAppDataFolder().isEmpty()) {
        WriteLog(QStringLiteral("Can't get COMMON_APPDATA location. Service will be stoped."));
        return false;
    }
    for (const platform::FolderReport& report :
         {platform::PrepareProgramDataFolder(), platform::PrepareStoreFolder()}) {
        LogNotes(report);
        if (report.error != platform::kErrorSuccess) {
            WriteLog(QStringLiteral("Creation folder '%1' error: %2. Service will be stoped.")
                         .arg(report.folder, platform::FormatSystemError(report.error)));
            return false;
        }
    }
    return true;
}

}  // namespace

void ServiceMain(bool debug) {
    platform::EnterProgramFolder();
    OpenServiceLog();

    Host host(debug);
    bool handlerRegistered = false;
    if (PrepareDataFolder()) {
        std::unique_ptr<ControlThread> control;
        bool ready = true;
        if (!debug) {
            control = std::make_unique<ControlThread>();
            InstallStopHandler(false);
            handlerRegistered = true;
            ready = host.Report(ServiceState::StartPending, 3000);
        }
        if (ready) host.Run();
    }
    if (!debug) WriteEventLogEntry(kEventMainEnds, EventType::Information, QLatin1String(kServiceName));
    WriteLog(QStringLiteral("Ostrovid Service 2.2.0 stopped.\r\n"));
    if (!debug && handlerRegistered) host.Report(ServiceState::Stopped, 0);
}

}  // namespace service

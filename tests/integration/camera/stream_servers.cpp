#include "tests/integration/camera/stream_servers.h"
#include "tests/support/loopback.h"

#include <QFile>
#include <QTextStream>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>

extern char** environ;

namespace camera_test {

namespace {

int Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

}  // namespace

bool Listening(uint16_t port) {
    QFile file("/proc/net/tcp");
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QString wanted = QString(":%1").arg(port, 4, 16, QChar('0')).toUpper();
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && QString(fields[1]).toUpper().endsWith(wanted) && fields[3] == "0A") return true;
    }
    return false;
}

QString BoxVideoFile() {
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        const QString file = dir.filePath("box.avi");
        const int pid = Spawn({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                               "color=c=black:s=640x480:r=25:d=2,drawbox=x=0:y=0:w=160:h=120:color=white:t=fill",
                               "-c:v", "mjpeg", "-q:v", "3", file.toStdString()});
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) path = file;
    }
    return path;
}

MjpegServer::MjpegServer(uint16_t port) : port_(port) {}

MjpegServer::~MjpegServer() { Kill(); }

QString MjpegServer::Url() const { return QString("http://127.0.0.1:%1/video.mjpg").arg(port_); }

bool MjpegServer::Start() {
    const QString video = BoxVideoFile();
    if (video.isEmpty()) return false;
    pid_ = Spawn({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-stream_loop", "-1", "-i",
                  video.toStdString(), "-c:v", "copy", "-f", "mpjpeg", "-listen", "1", Url().toStdString()});
    if (pid_ < 0) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (Listening(port_)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void MjpegServer::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

SilentServer::SilentServer() {
    listenFd_ = testsupport::ListenOnLoopback(&port_);
    thread_ = std::thread([this] { Run(); });
}

SilentServer::~SilentServer() {
    stop_ = true;
    thread_.join();
    for (int fd : clients_) close(fd);
    close(listenFd_);
}

void SilentServer::Run() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 50) == 1) {
            const int fd = accept(listenFd_, nullptr, nullptr);
            if (fd >= 0) {
                clients_.push_back(fd);  // held open, never written to
                ++accepted_;
            }
        }
    }
}

}  // namespace camera_test

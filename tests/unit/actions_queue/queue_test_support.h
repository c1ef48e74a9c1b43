#pragma once
// Private folders, recorded alerts and journal entries, and workers the test holds, shared by
// the action queue tests.

#include "app/actions/action_queue.h"
#include "app/actions/alert_outputs.h"
#include "app/actions/csv_log.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/settings_hub.h"
#include "tests/support/journal_entries.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <variant>

namespace queuetest {

const QString kQueueFull =
    QStringLiteral("Warning! Превышена максимальная длина очереди действий. Действие отброшено.");

inline bool WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

using ActionsTab = testsupport::JournalEntries;

// Real worker threads whose work is one Actions entry naming the thread.
class ReportingWorkers final : public actions::ActionWorkers {
public:
    explicit ReportingWorkers(const shell::Journal& journal) : journal_(journal) {}
    bool StartScriptWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) override {
        return Start(QStringLiteral("VeloxThreadFunc"), item, c);
    }
    bool StartMailWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) override {
        return Start(QStringLiteral("SendMailThreadFunc"), item, c);
    }

private:
    bool Start(const QString& name, std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) {
        return actions::StartWorkerThread(name, item, c, [this, name](actions::ActionItem& running, platform::Event&) {
            journal_.PostAction(shell::ActionIcon::Done, QString(), int32_t(running.number), name, QString());
        });
    }
    const shell::Journal& journal_;
};

// Takes every started item with its slot and keeps both until finished.
class HeldWorkers : public actions::ActionWorkers {
public:
    struct Held {
        std::unique_ptr<actions::ActionItem> item;
        actions::WorkerContext context;
    };
    bool StartScriptWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) override {
        return Take(item, c);
    }
    bool StartMailWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) override {
        return Take(item, c);
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_.size();
    }
    void Inspect(const std::function<void(const std::vector<Held>&)>& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        f(held_);
    }
    void FinishOne() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_.erase(held_.begin());
    }
    // Ends every held worker; later ones end at once.
    void FinishAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        held_.clear();
    }

private:
    bool Take(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& context) {
        std::exchange(context.started, nullptr)->Set();
        std::lock_guard<std::mutex> lock(mutex_);
        Held held{std::move(item), std::move(context)};
        if (!closing_) held_.push_back(std::move(held));
        return true;
    }

    mutable std::mutex mutex_;
    std::vector<Held> held_;
    bool closing_ = false;
};

struct RecordingAlerts : actions::AlertOutputs {
    bool SoundAvailable() const override { return sound; }
    bool SpeechAvailable() const override { return speech; }
    void PlayAlertSound(const QString& wavFile) override { sounds.emplace_back(wavFile); }
    void PlayAlertSound(actions::BuiltInSound builtIn) override { sounds.emplace_back(builtIn); }
    void SpeakAlertText(const QString& text) override { spoken.append(text); }

    bool sound = true;
    bool speech = true;
    std::vector<std::variant<QString, actions::BuiltInSound>> sounds;
    QStringList spoken;
};

// Temporary folder, data folder and log in private folders; empty action settings with the CSV
// log (UTF-8, no header) in a folder of its own, in a settings hub of the test's own.
class PrivateFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("tmp")) && QDir(root.path()).mkpath(QStringLiteral("csv")));
        saved_ = {qgetenv("TMPDIR"), qgetenv("OSTROVID_COMMON_APPDATA")};
        qputenv("TMPDIR", QFile::encodeName(TempFolder()));
        qputenv("OSTROVID_COMMON_APPDATA", QFile::encodeName(root.path()));
        platform::SetLogFile(root.filePath(QStringLiteral("Ostrovid.log")), root.filePath(QStringLiteral("Old.log")));
        settings::SettingsState state;
        platform::CopyToFixed(state.csvFormat.Folder, root.filePath(QStringLiteral("csv")));
        state.csvFormat.Encode = 2;
        hub.Publish(std::move(state));
    }
    void TearDown() override {
        platform::SetLogFile(QString(), QString());
        qputenv("TMPDIR", saved_.first);
        qputenv("OSTROVID_COMMON_APPDATA", saved_.second);
    }

    QString TempFolder() const { return root.filePath(QStringLiteral("tmp")); }
    QStringList TempFiles() const { return QDir(TempFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    QStringList Log() const { return testsupport::LogLines(root.filePath(QStringLiteral("Ostrovid.log"))); }
    int LogCount(const QString& line) const { return testsupport::CountLines(Log(), line); }
    QStringList CsvLines() const {
        QFile file(root.filePath(QStringLiteral("csv/Recgnzd0.txt")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList{};
    }

    QTemporaryDir root;
    settings::SettingsHub hub;
    actions::RecognitionLog csvLog{hub};

private:
    std::pair<QByteArray, QByteArray> saved_;
};

// A queue whose workers the test holds; its thread runs from the first Drain.
class HeldQueue : public PrivateFolders {
protected:
    void TearDown() override {
        term.Set();
        workers.FinishAll();
        queue.WaitForThread();
        queue.ClearActionQueue();
        PrivateFolders::TearDown();
    }
    // Runs the queue until every item was written or taken by a worker.
    void Drain() {
        if (!running_) {
            ASSERT_TRUE(queue.StartThread(term));
            running_ = true;
        }
        ASSERT_TRUE(WaitUntil([&] { return queue.QueuedCount() == 0; }));
    }
    std::vector<actions::ActionType> Started() const {
        std::vector<actions::ActionType> types;
        workers.Inspect([&](const auto& held) {
            for (const auto& h : held) types.push_back(h.item->type);
        });
        return types;
    }
    template <typename Payload>
    Payload Held(size_t index) const {
        Payload payload;
        workers.Inspect([&](const auto& held) { payload = std::get<Payload>(held.at(index).item->payload); });
        return payload;
    }

    ActionsTab tab;
    shell::Journal journal{&tab};
    HeldWorkers workers;
    actions::ActionQueue queue{journal, workers, csvLog};
    platform::Event term{true, false};

private:
    bool running_ = false;
};

}  // namespace queuetest

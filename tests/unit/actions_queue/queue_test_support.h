#pragma once
// Private folders, recorded alerts and journal entries, and workers the test holds, shared by
// the action queue tests.

#include "app/actions/action_queue.h"
#include "app/actions/alert_outputs.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/settings_state.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

namespace queuetest {

const QString kQueueFull =
    QStringLiteral("Warning! Превышена максимальная длина очереди действий. Действие отброшено.");

inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Thread-safe collector of the Actions tab.
class ActionsTab : public shell::JournalSink {
public:
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        EXPECT_EQ(tab, shell::JournalTab::Actions);
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(*entry);
        return true;
    }
    std::vector<shell::JournalEntry> Entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<shell::JournalEntry> entries_;
};

// Takes every started item with its slot and keeps both until released.
class HeldWorkers : public actions::ActionWorkers {
public:
    struct Held {
        std::unique_ptr<actions::ActionItem> item;
        actions::WorkerContext context;
    };
    bool StartScriptWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& context) override {
        return Take(item, context);
    }
    bool StartMailWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& context) override {
        return Take(item, context);
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_.size();
    }
    // Runs f on the held items under the workers' lock.
    void Inspect(const std::function<void(const std::vector<Held>&)>& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        f(held_);
    }
    // Ends the oldest held worker: its item is freed, its slot given back.
    void FinishOne() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!held_.empty()) held_.erase(held_.begin());
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

// Points the temporary folder, the data folder and the log at private folders, and starts every
// test from empty action settings with the CSV log in its own folder.
class PrivateFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("tmp")));
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("csv")));
        savedTmp_ = qgetenv("TMPDIR");
        savedData_ = qgetenv("OSTROVID_COMMON_APPDATA");
        qputenv("TMPDIR", QFile::encodeName(TempFolder()));
        qputenv("OSTROVID_COMMON_APPDATA", QFile::encodeName(root.path()));
        platform::SetLogFile(root.filePath(QStringLiteral("Ostrovid.log")),
                             root.filePath(QStringLiteral("Ostrovid1.log")));
        platform::CriticalSectionLock lock(settings::SettingsLock());
        settings::SettingsState& state = settings::g_Settings();
        state.alerts = {};
        state.upActions = {};
        state.smtp = {};
        state.scriptRecognized = {};
        state.scriptUnrecognized = {};
        state.csvFormat = {};
        platform::CopyToFixed(state.csvFormat.Folder, root.filePath(QStringLiteral("csv")));
        state.csvFormat.Encode = 2;  // UTF-8: readable back as plain text
        state.csvFormat.RotatesNumber = 1;
        state.csvFormat.SizeLimitMB = 5;
    }
    void TearDown() override {
        platform::SetLogFile(QString(), QString());
        qputenv("TMPDIR", savedTmp_);
        qputenv("OSTROVID_COMMON_APPDATA", savedData_);
    }

    QString TempFolder() const { return root.filePath(QStringLiteral("tmp")); }
    QStringList TempFiles() const {
        return QDir(TempFolder()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QStringList Log() const { return testsupport::LogLines(root.filePath(QStringLiteral("Ostrovid.log"))); }
    int LogCount(const QString& line) const { return testsupport::CountLines(Log(), line); }
    // Lines of the current CSV file, the header left out (there is none).
    QStringList CsvLines() const {
        QFile file(root.filePath(QStringLiteral("csv/Recgnzd0.txt")));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QString text = QString::fromUtf8(file.readAll());
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        return text.split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir root;

private:
    QByteArray savedTmp_;
    QByteArray savedData_;
};

}  // namespace queuetest

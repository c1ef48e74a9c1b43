#pragma once
// A private folder, log, namespace and Actions tab for runs of the real runner, and the script
// items the program would build.

#include "app/actions/velox_link.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/journal_entries.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <mutex>

namespace velotest {

using ActionsTab = testsupport::JournalEntries;

class VeloxRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        namespace_ = testsupport::UseFreshIpcNamespace("velox");
        platform::SetLogFile(Path("test.log"), Path("test1.log"));
    }
    void TearDown() override { testsupport::RemoveIpcObjects(namespace_); }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    QString WriteFile(const QString& name, const QByteArray& text, bool executable = false) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        if (executable) file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return file.fileName();
    }

    QByteArray ReadFile(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static std::unique_ptr<actions::ActionItem> ScriptItem(actions::ActionType type, const QString& script,
                                                           int32_t scriptType, int32_t timeout) {
        actions::ScriptRequest request;
        request.head.timeout = timeout;
        request.head.scriptType = scriptType;
        platform::CopyToFixed(request.head.scriptFile, script);
        platform::CopyToFixed(request.head.eventName, type == actions::ActionType::RecognizedScript
                                                          ? u"RecognizedPerson"
                                                          : u"UnrecognizedPerson");
        request.head.eventTime = 46000.75;  // 2025-12-09 18:00
        platform::CopyToFixed(request.head.cameraName, u"Проходная");
        if (type == actions::ActionType::RecognizedScript) {
            actions::RecognizedScriptForm form;
            form.personId = 321;
            form.confidence = 91.5;
            form.person.listNumber = 2;
            platform::CopyToFixed(form.person.surname, u"Петрова");
            platform::CopyToFixed(form.person.forename, u"Анна");
            platform::CopyToFixed(form.person.secondName, u"Ильинична");
            platform::CopyToFixed(form.person.alias, u"Аня");
            platform::CopyToFixed(form.person.externalKey, u"EXT-7");
            form.person.gender = 0;
            form.person.dateOfBirth = 32874;  // 1990-01-01
            platform::CopyToFixed(form.imageFile, u"/tmp/ostv{1}.jpg");
            request.form = form;
        } else {
            actions::UnrecognizedScriptForm form;
            form.firstSeen = 46000.5;
            form.imageCount = 2;
            form.rectangles[0] = {1, 2, 30, 40};
            form.rectangles[1] = {5, 6, 70, 80};
            platform::CopyToFixed(form.imageFiles[0], u"/tmp/a b.png");
            platform::CopyToFixed(form.imageFiles[1], u"/tmp/c.png");
            request.form = form;
        }
        return actions::NewActionItem(type, request);
    }

    // Runs the item on this thread with the runner given; returns how long it took.
    std::chrono::milliseconds Run(const actions::ActionItem& item, const QString& runner = VELOX_RUNNER) {
        const auto start = std::chrono::steady_clock::now();
        actions::RunVeloxScript(journal_, item, termEvent_, runner);
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }

    // The entry after "Запуск скрипта".
    shell::JournalEntry Outcome() const {
        const auto entries = tab_.Entries();
        EXPECT_EQ(entries.size(), 2u);
        if (entries.size() != 2) return entries.empty() ? shell::JournalEntry({}, {}, {}) : entries.back();
        EXPECT_EQ(entries[0].actionText, QStringLiteral("Запуск скрипта"));
        return entries[1];
    }

    QStringList LogLines() const { return testsupport::LogLines(Path("test.log")); }

    QTemporaryDir dir_;
    std::string namespace_;
    ActionsTab tab_;
    shell::Journal journal_{&tab_};
    platform::Event termEvent_{true, false};
};

inline shell::ActionIcon IconOf(const shell::JournalEntry& entry) {
    const auto* icon = std::get_if<shell::ActionIcon>(&entry.icon);
    return icon ? *icon : shell::ActionIcon::MailSending;
}

}  // namespace velotest

#pragma once
// Operator dialogs for tests: answers come from a queue (Yes when it is empty) and every
// question and notice is recorded in order.

#include "app/database/db_operation.h"
#include "app/database/operator_dialogs.h"

#include <QStringList>

#include <deque>

namespace dbtest {

class ScriptedDialogs : public database::DbUserInterface, public database::OperatorDialogs {
public:
    database::Answer AskYesNo(const QString& text, database::DefaultButton) override { return Next(text); }
    database::Answer AskYesNoCancel(const QString& text, database::DefaultButton) override { return Next(text); }
    void ShowNotice(const QString& text, database::NoticeIcon) override { notices.append(text); }
    void ShowTimedNotice(const QString& text, database::NoticeIcon, std::chrono::milliseconds) override {
        notices.append(text);
    }
    bool AskRetry(const QString& caption, const QString& description) override {
        questions.append(caption + QStringLiteral(": ") + description);
        return retry;
    }
    void ShowError(const QString& caption, const QString& description) override {
        errors.append(caption + QStringLiteral(": ") + description);
    }
    void BeginWait() override { ++waitDepth; }
    void EndWait() override { --waitDepth; }

    std::deque<database::Answer> answers;
    bool retry = false;
    int waitDepth = 0;
    QStringList questions;
    QStringList notices;
    QStringList errors;

private:
    database::Answer Next(const QString& text) {
        questions.append(text);
        if (answers.empty()) return database::Answer::Yes;
        const database::Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace dbtest

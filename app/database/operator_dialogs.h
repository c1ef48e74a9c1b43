#pragma once
// Purpose: the questions and notices the person, sample and photo operations put to the operator,
//          each with the program's title as caption. The user interface implements them with
//          message boxes; tests script the answers.
// Threads: the user-interface thread (the thread that runs the operation).
// Owns: nothing.

#include <QString>

#include <chrono>

namespace database {

enum class Answer { Yes, No, Cancel };
// The button a question starts on (MB_DEFBUTTON1 or MB_DEFBUTTON2).
enum class DefaultButton { First, Second };
enum class NoticeIcon { Information, Warning, Error };

class OperatorDialogs {
public:
    virtual ~OperatorDialogs() = default;
    // MB_YESNO | MB_ICONQUESTION: Yes or No.
    virtual Answer AskYesNo(const QString& text, DefaultButton defaultButton) = 0;
    // MB_YESNOCANCEL | MB_ICONQUESTION: Yes, No or Cancel.
    virtual Answer AskYesNoCancel(const QString& text, DefaultButton defaultButton) = 0;
    // A message box the operator closes.
    virtual void ShowNotice(const QString& text, NoticeIcon icon) = 0;
    // A message box that closes by itself after shown (or earlier, by the operator).
    virtual void ShowTimedNotice(const QString& text, NoticeIcon icon, std::chrono::milliseconds shown) = 0;
};

}  // namespace database

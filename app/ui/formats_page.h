#pragma once
// Purpose: the settings page "Форматы и параметры": tab "CSV-файлы" (the recognition log's
//          folder, size, rotations, encoding, delimiter and header line, and opening the current
//          file) and tab "Скрипты" (time-out, user interface and picture format per event) of the
//          sheet's copy. The rules are FormatsPageRules'; this widget shows them.
// Threads: the user-interface thread only.
// Owns: its child widgets and the rules.

#include "app/ui/formats_page_rules.h"
#include "app/ui/page_notice.h"
#include "settings/settings_state.h"

#include <QWidget>

#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ui {

class FormatsPage final : public QWidget {
public:
    struct Services {
        // A folder browser: the chosen folder, nothing when cancelled.
        std::function<std::optional<QString>(QWidget* owner, const QString& caption, const QString& start)>
            chooseFolder;
        // Shows an existing file in the desktop's viewer for it.
        std::function<void(const QString& file)> openFile;
        std::function<void(QWidget* owner, const PageNotice&)> notice;
    };
    // The program's own: the folder dialog, the desktop's file opener and message boxes.
    static Services ProgramServices();

    FormatsPage(settings::SettingsState& copy, Services services, QWidget* parent = nullptr);

private:
    QWidget* BuildCsvTab();
    QWidget* BuildScriptTab();
    void ShowLogPath();
    void ShowScript();
    void OpenLog();
    void ChooseOtherFolder();

    FormatsPageRules rules_;
    Services services_;
    QLineEdit* path_ = nullptr;
    QCheckBox* timeoutOn_ = nullptr;
    QWidget* secondsBox_ = nullptr;
    QLineEdit* seconds_ = nullptr;
    QCheckBox* allowUi_ = nullptr;
    QButtonGroup* imageFormat_ = nullptr;
};

}  // namespace ui

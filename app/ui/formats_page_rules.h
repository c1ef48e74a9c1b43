#pragma once
// Purpose: the rules of the settings page "Форматы и параметры": the recognition log's path as
//          shown, the folder choice (default, another local or network folder, the program data
//          folder itself meaning the default), the size and rotation limits, and the script
//          formats of both events with their time-out switch.
// Threads: the user-interface thread (it edits the sheet's copy).
// Owns: nothing; the records belong to the sheet's copy.

#include "app/ui/actions_page_rules.h"
#include "app/ui/number_entry.h"
#include "app/ui/sheet_fields.h"
#include "settings/groups.h"

#include <QString>

#include <optional>

namespace ui {

enum class FolderChoice { Taken, Default, Refused };

class FormatsPageRules {
public:
    FormatsPageRules(settings::CsvFormat& csv, settings::ScriptFormat& recognized,
                     settings::ScriptFormat& unrecognized);

    // "Путь к файлу:" (native separators).
    QString LogFilePath() const;
    // The folder the browser starts in.
    QString BrowseStart() const;
    // "Задать папку по умолчанию".
    void SetDefaultFolder();
    // A folder chosen in the browser: an existing folder by its absolute path (network shares are
    // mounted folders here) that fits the record, as a cut path would name another folder; the
    // program data folder itself, in any case, empties the setting.
    FolderChoice ChooseFolder(const QString& chosen);

    std::optional<QString> SetSizeLimit(const QString& typed);
    std::optional<QString> SetRotates(const QString& typed);
    void SetEncode(int index);
    void SetDelimiter(int index);
    void SetUseHeader(bool on);

    // Tab "Скрипты".
    void SelectEvent(AlertEvent event) { event_ = event; }
    AlertEvent Event() const { return event_; }
    void SetTimeoutEnabled(bool on);
    bool SecondsShown() const { return Script().Timeout >= 0; }
    std::optional<QString> SetTimeoutSeconds(const QString& typed);
    QString SecondsText() const;
    void SetAllowUi(bool on);
    void SetImageFormat(int index);

    const settings::CsvFormat& Csv() const { return csv_; }
    const settings::ScriptFormat& Script() const;

    static constexpr int kSizeLimitDigits = 2;
    static constexpr int kRotatesDigits = 1;
    static constexpr int kSecondsDigits = 5;

private:
    settings::ScriptFormat& Script();

    settings::CsvFormat& csv_;
    settings::ScriptFormat& recognized_;
    settings::ScriptFormat& unrecognized_;
    AlertEvent event_ = AlertEvent::Recognized;
};

inline constexpr char16_t kFolderRefusedText[] = u"Папка должна быть локальной или сетевой!";

}  // namespace ui

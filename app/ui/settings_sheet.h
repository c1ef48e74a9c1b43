#pragma once
// Purpose: the "Настройки программы" sheet: the pages a caller adds, OK and Cancel only, opening
//          on the page that was active last in this process; and the run of the sheet on a
//          private copy of the settings that is applied after OK.
// Threads: the user-interface thread only.
// Owns: its pages (through Qt's parent ownership).

#include "app/ui/settings_apply.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class QTabWidget;

namespace ui {

class SettingsSheet final : public QDialog {
public:
    explicit SettingsSheet(QWidget* parent = nullptr);

    // Appends a page; the sheet takes ownership.
    void AddPage(QWidget* page, const QString& caption);
    // Shows the page that was active last (the first when there is no such page any more).
    void ShowStartPage();
    QTabWidget* Pages() const { return pages_; }

    // True once OK was pressed on the sheet shown last.
    static bool Confirmed();
    // The page index the next sheet opens on.
    static int StartPage();

    void accept() override;  // "OK"

private:
    QTabWidget* pages_ = nullptr;
};

// The settings the sheet edits, copied from the hub's current set, with AutoRun as the logon
// start stands now.
std::unique_ptr<settings::SettingsState> TakeSettingsCopy(const settings::SettingsHub& hub);

// Adds the pages that edit `copy`; each page lives as long as the sheet.
using SheetPageMaker = std::function<void(SettingsSheet& sheet, settings::SettingsState& copy)>;

// Fills a copy, shows the sheet modally and, on OK, applies the copy to the hub. Empty when the
// sheet was cancelled or closed, which changes nothing.
std::optional<ApplyResult> RunSettingsSheet(QWidget* parent, settings::SettingsHub& hub, const SheetPageMaker& addPages,
                                            const ApplyServices& services);

}  // namespace ui

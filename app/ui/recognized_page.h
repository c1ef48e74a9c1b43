#pragma once
// Purpose: the "Распознаны" page of the right panel: its toolbar ("Инфо..." and "Удалить"), the
//          owner-drawn list of recognized persons (160-pixel entries, newest first) and the
//          30 s timer that forgets persons remembered longer than RememberRecognized. What an
//          entry shows and which entry is selected is decided by RecognizedPageModel.
// Threads: the user-interface thread only.
// Owns: its child widgets (Qt parent ownership) and the selection.

#include "app/database/db_operation.h"
#include "app/recognition/recognized_list.h"
#include "app/recognition/remembered_persons.h"
#include "app/ui/recognized_entries.h"
#include "settings/settings_hub.h"

#include <QTimer>
#include <QWidget>

class QListView;
class QToolButton;

namespace ui {

class RecognizedEntryItems;

class RecognizedPage final : public QWidget {
public:
    // The hub gives RememberRecognized and the connection string; it must outlive the page.
    RecognizedPage(recognition::RecognizedPersonsList& list, recognition::RememberedPersons& remembered,
                   const settings::SettingsHub& hub, QWidget* parent = nullptr);
    ~RecognizedPage() override;

    // The list gained (or lost) entries: shows it anew; the selection stays on its entry.
    void Refresh();
    // An entry got a new picture, confidence or details.
    void Redraw();

    // 40042: the person information dialog of the selected entry.
    void ShowPersonInfo();
    // 40062: removes the selected entry.
    void RemoveSelected();

    // Where database failures and the wait cursor are shown instead of message boxes owned by
    // the focused window; null restores those.
    void SetDbUserInterface(database::DbUserInterface* ui) { dbUi_ = ui; }

    const RecognizedPageModel& Model() const { return model_; }
    QListView* View() const { return view_; }
    QToolButton* InfoButton() const { return info_; }
    QToolButton* RemoveButton() const { return remove_; }

private:
    void SelectionChanged();
    void RestoreSelection();
    void RefreshCommands();

    RecognizedPageModel model_;
    recognition::RememberedPersons& remembered_;
    const settings::SettingsHub& hub_;
    database::DbUserInterface* dbUi_ = nullptr;
    RecognizedEntryItems* items_;
    QListView* view_;
    QToolButton* info_;
    QToolButton* remove_;
    QTimer expiryTimer_;
};

}  // namespace ui

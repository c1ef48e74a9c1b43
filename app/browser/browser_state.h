#pragma once
// Purpose: the database browser without a display: it owns the browser connection, the person
//          list and the shown person (card as read, photos, samples), the filters and the sample
//          clipboard, and maps every command of the window to the database operations. After
//          every command that ran the list is re-read keeping the selection; every give-up posts
//          the close, and from then on commands are ignored until the window has closed. The
//          card panel keeps the operator's edits; they survive retries, list re-reads and the
//          commands on photos and samples, and before anything would drop them (another person,
//          a hiding filter, the property names, closing) the card asks "Сохранить изменения?".
// Threads: the user-interface thread.
// Owns: the connection (released with the state), the list rows, the page of the shown person
//       and the clipboard; it borrows the settings, where the filters are read and published.

#include "app/browser/browser_view.h"
#include "app/database/db_session.h"
#include "app/database/person_commands.h"
#include "app/database/photo_flows.h"
#include "app/database/sample_clipboard.h"
#include "app/database/sample_creation.h"
#include "app/database/sample_removal.h"
#include "settings/settings_hub.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace browser {

// Opens the browser connection with the wait cursor; on failure shows the description with caption
// "Соединение с базой данных" and gives nothing.
std::unique_ptr<database::DbConnection> OpenBrowserConnection(database::DbUserInterface& ui,
                                                              const QString& connectionString);

enum class ListFilterChange {
    Refused,  // the last ticked filter stays ticked; nothing was read
    Applied,  // saved and the list re-read
};

// Whether the operator leaves the shown person (or the browser).
enum class LeaveChoice { Leave, Stay };

class BrowserState {
public:
    // connection: opened by OpenBrowserConnection; connectionString: what a retry reopens it with.
    BrowserState(std::unique_ptr<database::DbConnection> connection, const QString& connectionString,
                 database::DbUserInterface& ui, database::OperatorDialogs& dialogs, const shell::Journal& journal,
                 settings::SettingsHub& hub, BrowserView& view);
    ~BrowserState();
    BrowserState(const BrowserState&) = delete;
    BrowserState& operator=(const BrowserState&) = delete;

    // The first read of the list (filters from the settings, nothing selected).
    void Start();

    // ---- state ----
    const settings::DbWinSettings& Filters() const { return filters_; }
    // The shown person; null when none is selected.
    const PersonPage* Shown() const { return page_.get(); }
    const database::SampleClipboard& Clipboard() const { return clipboard_; }
    // A give-up posted the close: nothing runs any more.
    bool Closing() const { return closing_; }

    // ---- the list panel ----
    // A filter check box changed. Clearing the last ticked one is refused.
    ListFilterChange SetFilter(database::WatchList list, bool on);
    // Another row was selected (0: none). Unsaved card edits are asked about first; Stay: the
    // list must select the shown person again.
    LeaveChoice SelectPerson(int32_t personId);
    // The window is being closed by the operator: the same question; Stay keeps it open.
    LeaveChoice ConfirmClose();

    // ---- commands ----
    void NewPerson();
    void DeletePerson();
    void ChangeList(database::WatchList list);
    void EditPropNames();
    void SaveCard();
    void AddPhotoFromFile(const QString& path);
    void AddPhotoFromImage(const QImage& image);
    void DeletePhoto(int32_t photoId);
    void AddSampleFromFile(const QString& path);
    void AddSampleFromImage(const QImage& image);
    // sampleIds: the current sample (Current) or the selected ones (Selected), in pad order.
    void DeleteSamples(const std::vector<int32_t>& sampleIds, database::SampleChoice choice);
    void CutSamples(const std::vector<int32_t>& sampleIds);
    void PasteSamples();
    // The cluster labels of the samples with a descriptor (0 for all when they form one cluster).
    void ClusterSamples();

private:
    enum class EditsAnswer { None, Left, Kept };
    // Reads the list with the current filters selecting personId; keeps the shown page when that
    // person stays selected, asks about its edits when another one would be, clears it when none
    // is. False after a give-up.
    bool ReadList(int32_t personId);
    // Reads the person's values, photos and samples into a new page and shows it; false after a
    // give-up.
    bool ShowPerson(const database::PersonRecord& person);
    bool ReadSamples(PersonPage& page);
    // A give-up: posts the close once.
    void GiveUp();
    // Takes the filters the person commands may have switched on from the settings.
    void SyncFilters();
    // After a photo or sample command with this result: the list re-read (done or failed) and
    // the page redrawn; a give-up closes.
    void Finish(database::FlowResult result);
    // Before the shown person's edits would be lost: None when there are none; Left when they were
    // saved or dropped; Kept for Cancel (or a save that gave up).
    EditsAnswer AskAboutEdits();
    database::SampleOwner Owner() const;
    void AddPhoto(const database::PhotoOutcome& outcome);
    // create(wizard, owner): one of the sample creation flows.
    template <typename Create>
    void AddSample(Create&& create);

    std::unique_ptr<database::DbConnection> connection_;
    database::DbSession session_;
    settings::SettingsHub& hub_;
    BrowserView& view_;
    settings::DbWinSettings filters_{};
    database::PersonList list_;
    std::unique_ptr<PersonPage> page_;
    database::SampleClipboard clipboard_;
    bool closing_ = false;
};

}  // namespace browser

#pragma once
// Purpose: the person chooser "Выбор персоны для сохранения образцов": every person in a list like
//          the browser's, the selected person's details and photos, a new person, the search window;
//          OK or a double click chooses, "Закрыть" and the close box cancel.
// Threads: the user-interface thread only.
// Owns: the rows read (through its list) and its child widgets (Qt parent ownership).

#include "app/database/db_session.h"
#include "app/database/person_record.h"
#include "app/database/snapshot_samples.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QScrollArea;

namespace ui {

class PersonListPanel;
class PersonSearchWindow;

class PersonChooserDialog final : public QDialog {
public:
    // session: the connection the chooser reads and inserts with; it must outlive the dialog.
    PersonChooserDialog(database::DbSession& session, QWidget* parent);

    // Reads every person, selecting selectPersonId. False when the read was given up.
    bool Load(int32_t selectPersonId = 0);
    // After Accepted: the person chosen.
    const std::optional<database::PersonRecord>& Chosen() const { return chosen_; }

    PersonListPanel& List() const { return *list_; }
    PersonSearchWindow& SearchWindow() const { return *search_; }

    void accept() override;  // "OK" and the double click: chooses the selected person

private:
    void ShowDetails();
    void ShowPhotos(const database::PersonRecord* person);
    void NewPerson();

    database::DbSession& session_;
    PersonListPanel* list_ = nullptr;
    PersonSearchWindow* search_ = nullptr;
    QAction* ok_ = nullptr;
    std::vector<std::function<void(const QString&)>> showDetail_;  // one per browser::PersonDetails row
    QScrollArea* photoViewport_ = nullptr;
    std::optional<database::PersonRecord> chosen_;
    bool givenUp_ = false;  // a read was given up: the chooser closes without a choice
};

// Shows the chooser maximized over owner; the chosen person, none when cancelled or when the list
// could not be read.
std::optional<database::PersonRecord> ChoosePerson(QWidget* owner, database::DbSession& session);

// The chooser as SaveSnapshotsAsSamples calls it, on the connection that action opened.
database::PersonChooser SnapshotPersonChooser(QWidget* owner, database::DbUserInterface& ui,
                                              database::OperatorDialogs& dialogs, const QString& connectionString,
                                              const shell::Journal& journal);

}  // namespace ui

#pragma once
// Purpose: what the database browser's brain shows and asks through its window: the person list,
//          the card, photos and samples of the shown person, the card's unsaved edits, the close it
//          posts after a give-up, and the dialogs it opens (new person, property names, sample
//          wizard). The window implements it with its panels; tests with recorders.
// Threads: the user-interface thread.
// Owns: nothing; the brain owns what it hands out.

#include "app/browser/card_editor.h"
#include "app/database/new_person_form.h"
#include "app/database/person_card.h"
#include "app/database/person_statements.h"
#include "app/database/photo_ops.h"
#include "app/database/prop_name_editor.h"
#include "app/database/sample_ops.h"
#include "app/recognition/face_describer.h"
#include "settings/groups.h"

#include <QString>

#include <optional>
#include <vector>

namespace browser {

// The person the card shows: the list row it was read from, its card as read (fields and property
// values), its photos and samples as stored, and the cluster labels of the last "Кластеры" (one per
// sample with a descriptor, in order; empty when none are shown).
struct PersonPage {
    database::PersonRecord person;
    database::PersonCard card;
    std::vector<database::StoredPhoto> photos;
    std::vector<database::StoredSample> samples;
    std::vector<int> clusters;
};

// A deep copy, for a card panel that keeps its own edit copy.
database::PersonCard CopyCard(const database::PersonCard& card);

class BrowserView {
public:
    virtual ~BrowserView() = default;

    // The list panel after every read: the rows in the order read, and the row to select, scroll
    // into view and focus (null: no selection). Showing them reports no selection change back.
    virtual void ShowPersons(const database::PersonRows& rows, const database::PersonRecord* selected) = 0;
    // The filter check boxes.
    virtual void ShowFilters(const settings::DbWinSettings& filters) = 0;
    // The card, its photos and samples: a newly shown person (null: cleared and disabled).
    virtual void ShowPerson(const PersonPage* page) = 0;
    // The shown person's photos, or samples, changed (the card's edits stay as they are).
    virtual void PhotosChanged(const PersonPage& page) = 0;
    virtual void SamplesChanged(const PersonPage& page) = 0;
    // The cluster labels of page.clusters are to be shown.
    virtual void ClustersChanged(const PersonPage& page) = 0;
    // The close command is posted: the window closes once the current action has returned.
    virtual void PostClose() = 0;

    // The card panel keeps the operator's edits: whether there are unsaved ones, the question
    // "Сохранить изменения?" before they would be lost, and the save command.
    virtual bool CardDirty() const = 0;
    virtual LeaveOutcome ConfirmLeaveCard(database::DbSession& session) = 0;
    virtual database::DbOpResult SaveCard(database::DbSession& session) = 0;

    // The "Новая персона" dialog; none when cancelled.
    virtual std::optional<database::NewPersonInput> AskNewPerson(database::WatchList initialList) = 0;
    // The "Дополнительные поля персон" dialog on the editor; true for "OK".
    virtual bool EditPropNames(database::PropNameEditor& editor) = 0;
    // The sample wizard on a picture file.
    virtual std::optional<recognition::DescribedFace> RunSampleWizard(const QString& path) = 0;
};

}  // namespace browser

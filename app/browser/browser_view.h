#pragma once
// Purpose: what the database browser's brain shows and asks through its window: the person list,
//          the card of the shown person, the close it posts after a give-up, and the dialogs it
//          opens (new person, property names, sample wizard). The window implements it with its
//          panels; tests implement it with recorders.
// Threads: the user-interface thread.
// Owns: nothing; the brain owns what it hands out.

#include "app/database/new_person_form.h"
#include "app/database/person_card.h"
#include "app/database/person_statements.h"
#include "app/database/prop_name_editor.h"
#include "app/recognition/face_describer.h"
#include "app/recognition/face_descriptor.h"
#include "settings/groups.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace browser {

struct ShownPhoto {
    int32_t photoId = 0;
    QImage image;  // as drawn; null when the stored bytes are no picture
};

struct ShownSample {
    int32_t sampleId = 0;
    QImage image;
    std::optional<recognition::FaceDescriptor> descriptor;  // none for a damaged stored one
    int cluster = 0;                                        // 0: none; else the cluster number from 1
};

// The person the card shows: the list row it was read from, its card (fields and property values
// as read and as edited), its photos and its samples.
struct PersonPage {
    database::PersonRecord person;
    database::PersonCard card;
    std::vector<ShownPhoto> photos;
    std::vector<ShownSample> samples;
};

class BrowserView {
public:
    virtual ~BrowserView() = default;

    // The list panel after every read: the rows in the order read, and the row to select, scroll
    // into view and focus (null: no selection).
    virtual void ShowPersons(const database::PersonRows& rows, const database::PersonRecord* selected) = 0;
    // The filter check boxes.
    virtual void ShowFilters(const settings::DbWinSettings& filters) = 0;
    // The card: a newly shown person (null: cleared and disabled).
    virtual void ShowPerson(const PersonPage* page) = 0;
    // The shown person's photos, samples or card values changed in place (the operator's other
    // edits stay as they are).
    virtual void PersonChanged(const PersonPage& page) = 0;
    // The close command is posted: the window closes once the current action has returned.
    virtual void PostClose() = 0;

    // The "Новая персона" dialog; none when cancelled.
    virtual std::optional<database::NewPersonInput> AskNewPerson(database::WatchList initialList) = 0;
    // The "Дополнительные поля персон" dialog on the editor; true for "OK" (the editor renumbered).
    virtual bool EditPropNames(database::PropNameEditor& editor) = 0;
    // The sample wizard on a picture file.
    virtual std::optional<recognition::DescribedFace> RunSampleWizard(const QString& path) = 0;
};

}  // namespace browser

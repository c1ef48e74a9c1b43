#include "app/browser/browser_state.h"

#include "app/database/person_card.h"
#include "app/database/photo_flows.h"
#include "app/database/photo_ops.h"
#include "app/database/property_ops.h"
#include "app/database/sample_clusters.h"
#include "app/database/sample_creation.h"
#include "app/database/sample_ops.h"
#include "settings/channel_saves.h"

#include <algorithm>

namespace browser {

using database::DbOpCancel;
using database::FlowResult;
using database::RetryWhileAsked;
using database::WatchList;

namespace {

int32_t& FilterOf(settings::DbWinSettings& filters, WatchList list) {
    switch (list) {
    case WatchList::Green:
        return filters.WhiteList;
    case WatchList::Red:
        return filters.BlackList;
    case WatchList::Gray:
        break;
    }
    return filters.GrayList;
}

bool Shows(settings::DbWinSettings filters, WatchList list) { return FilterOf(filters, list) != 0; }

const database::PersonRecord* FindRow(const database::PersonRows& rows, int32_t personId) {
    for (const auto& row : rows) {
        if (row->personId == personId) return row.get();
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<database::DbConnection> OpenBrowserConnection(database::DbUserInterface& ui,
                                                              const QString& connectionString) {
    auto connection = std::make_unique<database::DbConnection>();
    database::WaitCursorScope cursor(ui);
    try {
        connection->Open(connectionString);
    } catch (const database::DbError& error) {
        cursor.Restore();
        ui.ShowError(database::kCaptionConnection, error.Description());
        return nullptr;
    }
    return connection;
}

BrowserState::BrowserState(std::unique_ptr<database::DbConnection> connection, const QString& connectionString,
                           database::DbUserInterface& ui, database::OperatorDialogs& dialogs,
                           const shell::Journal& journal, settings::SettingsHub& hub, BrowserView& view)
    : connection_(std::move(connection)),
      session_{*connection_, ui, dialogs, connectionString, journal},
      hub_(hub),
      view_(view) {}

BrowserState::~BrowserState() = default;

void BrowserState::Start() {
    filters_ = hub_.Snapshot()->dbWin;
    view_.ShowFilters(filters_);
    ReadList(0);
}

void BrowserState::GiveUp() {
    if (closing_) return;
    closing_ = true;
    view_.PostClose();
}

void BrowserState::SyncFilters() {
    const settings::DbWinSettings now = hub_.Snapshot()->dbWin;
    if (now.WhiteList == filters_.WhiteList && now.BlackList == filters_.BlackList &&
        now.GrayList == filters_.GrayList) {
        return;
    }
    filters_ = now;
    view_.ShowFilters(filters_);
}

BrowserState::EditsAnswer BrowserState::AskAboutEdits() {
    if (!page_ || !view_.CardDirty()) return EditsAnswer::None;
    switch (view_.ConfirmLeaveCard(session_)) {
    case LeaveOutcome::Proceed:
        return EditsAnswer::Left;
    case LeaveOutcome::CloseBrowser:
        GiveUp();
        break;
    case LeaveOutcome::Stay:
        break;
    }
    return EditsAnswer::Kept;
}

bool BrowserState::ReadList(int32_t personId) {
    const database::DbOpResult result =
        RetryWhileAsked([&] { return database::HandleGetDbPersonsList(session_, filters_, personId, list_); });
    const database::PersonRecord* selected = list_.selected;
    const int32_t shownId = page_ ? page_->person.personId : 0;
    const database::PersonRecord* shownRow = FindRow(list_.rows, shownId);
    if (result != DbOpCancel && shownRow != nullptr && selected != shownRow) {
        // Leaving a person that is still listed: its edits are not dropped without a question.
        switch (AskAboutEdits()) {
        case EditsAnswer::Kept:
            selected = shownRow;
            break;
        case EditsAnswer::Left:
            // A saved row shows its new names once read again; nothing is left to ask.
            return ReadList(personId);
        case EditsAnswer::None:
            break;
        }
    }
    list_.selected = selected;
    view_.ShowPersons(list_.rows, selected);
    if (result == DbOpCancel) {
        GiveUp();
        return false;
    }
    if (selected != nullptr && selected == shownRow) {
        // Still the same person: the card keeps the operator's edits; the row may have changed.
        page_->person = *selected;
        page_->person.sampleCount = static_cast<int32_t>(page_->samples.size());
        return true;
    }
    if (selected == nullptr) {
        page_.reset();
        view_.ShowPerson(nullptr);
        return true;
    }
    return ShowPerson(*selected);
}

bool BrowserState::ShowPerson(const database::PersonRecord& person) {
    auto page = std::make_unique<PersonPage>();
    page->person = person;
    page->card.personId = person.personId;
    page->card.lastRead = person.fields;
    page->card.edited = person.fields;
    const bool read = RetryWhileAsked([&] {
                          return database::HandleDbPersonAddProps(session_, person.personId, page->card.values);
                      }) != DbOpCancel &&
                      RetryWhileAsked([&] {
                          return database::HandleGetDbPersonPhotoList(session_, person.personId, &page->photos);
                      }) != DbOpCancel &&
                      ReadSamples(*page);
    if (!read) {
        page_.reset();
        view_.ShowPerson(nullptr);
        GiveUp();
        return false;
    }
    page_ = std::move(page);
    view_.ShowPerson(page_.get());
    return true;
}

bool BrowserState::ReadSamples(PersonPage& page) {
    if (RetryWhileAsked([&] {
            return database::HandleGetDbPersonSampleList(session_, page.person.personId, &page.samples);
        }) == DbOpCancel) {
        return false;
    }
    page.clusters.clear();
    page.person.sampleCount = static_cast<int32_t>(page.samples.size());
    return true;
}

ListFilterChange BrowserState::SetFilter(WatchList list, bool on) {
    if (closing_) return ListFilterChange::Refused;
    settings::DbWinSettings next = filters_;
    FilterOf(next, list) = on ? 1 : 0;
    const bool noneLeft = next.WhiteList == 0 && next.BlackList == 0 && next.GrayList == 0;
    // The shown person about to leave the list takes its edits along only when the operator agrees.
    const bool hidesShown = page_ && !Shows(next, page_->person.list);
    if (noneLeft || (hidesShown && AskAboutEdits() == EditsAnswer::Kept)) {
        view_.ShowFilters(filters_);
        return ListFilterChange::Refused;
    }
    if (closing_) return ListFilterChange::Refused;
    filters_ = next;
    hub_.Update([this](settings::SettingsState& state) { state.dbWin = filters_; });
    settings::SaveDbWinSettings(filters_);
    view_.ShowFilters(filters_);
    ReadList(page_ ? page_->person.personId : 0);
    return ListFilterChange::Applied;
}

LeaveChoice BrowserState::SelectPerson(int32_t personId) {
    if (closing_) return LeaveChoice::Leave;
    const int32_t shownId = page_ ? page_->person.personId : 0;
    if (personId == shownId) return LeaveChoice::Leave;
    switch (AskAboutEdits()) {
    case EditsAnswer::Kept:
        return closing_ ? LeaveChoice::Leave : LeaveChoice::Stay;
    case EditsAnswer::Left:
        // The card may have been saved: read again, which selects and shows the person asked for.
        ReadList(personId);
        return LeaveChoice::Leave;
    case EditsAnswer::None:
        break;
    }
    const database::PersonRecord* row = FindRow(list_.rows, personId);
    list_.selected = row;
    if (row == nullptr) {
        page_.reset();
        view_.ShowPerson(nullptr);
    } else {
        ShowPerson(*row);
    }
    return LeaveChoice::Leave;
}

LeaveChoice BrowserState::ConfirmClose() {
    if (closing_) return LeaveChoice::Leave;
    return AskAboutEdits() == EditsAnswer::Kept && !closing_ ? LeaveChoice::Stay : LeaveChoice::Leave;
}

void BrowserState::NewPerson() {
    if (closing_) return;
    const std::optional<database::NewPersonInput> input = view_.AskNewPerson(WatchList::Green);
    if (!input) return;
    const std::optional<int32_t> id = database::CreatePersonFromBrowser(session_, hub_, *input);
    SyncFilters();
    ReadList(id ? *id : (page_ ? page_->person.personId : 0));
}

void BrowserState::DeletePerson() {
    if (closing_ || !page_) return;
    if (database::DeletePersonAsked(session_, page_->person) == database::CommandOutcome::NotRun) return;
    ReadList(page_->person.personId);
}

void BrowserState::ChangeList(WatchList list) {
    if (closing_ || !page_) return;
    if (database::ChangePersonList(session_, hub_, page_->person, list) == database::CommandOutcome::NotRun) return;
    SyncFilters();
    ReadList(page_->person.personId);
}

void BrowserState::EditPropNames() {
    if (closing_) return;
    // The card is shown anew with the new names: its edits are settled first.
    if (AskAboutEdits() == EditsAnswer::Kept) return;
    database::PropNames read;
    if (RetryWhileAsked([&] { return database::HandleGetDbPersonAddPropList(session_, read); }) == DbOpCancel) {
        GiveUp();
        return;
    }
    database::PropNameEditor editor(read);
    if (!view_.EditPropNames(editor)) return;
    editor.Renumber();
    if (database::ApplyPropNameEdits(session_, read, editor.Names()) == DbOpCancel) {
        GiveUp();
        return;
    }
    // Read again; the card then lists the new names in their new order.
    const int32_t shownId = page_ ? page_->person.personId : 0;
    page_.reset();
    view_.ShowPerson(nullptr);
    ReadList(shownId);
}

void BrowserState::SaveCard() {
    if (closing_ || !page_) return;
    if (view_.SaveCard(session_) == DbOpCancel) {
        GiveUp();
        return;
    }
    ReadList(page_->person.personId);
}

void BrowserState::Finish(FlowResult result) {
    if (result == FlowResult::CloseBrowser) {
        GiveUp();
        return;
    }
    if (result != FlowResult::Done) return;
    ReadList(page_->person.personId);
}

void BrowserState::AddPhoto(const database::PhotoOutcome& outcome) {
    if (outcome.result == FlowResult::Done) {
        page_->photos.push_back({outcome.photoId, outcome.image});
        view_.PhotosChanged(*page_);
    }
    Finish(outcome.result);
}

void BrowserState::AddPhotoFromFile(const QString& path) {
    if (closing_ || !page_) return;
    AddPhoto(
        database::AddPhotoFromFile(session_, page_->person.personId, static_cast<int>(page_->photos.size()), path));
}

void BrowserState::AddPhotoFromImage(const QImage& image) {
    if (closing_ || !page_) return;
    AddPhoto(
        database::AddPhotoFromImage(session_, page_->person.personId, static_cast<int>(page_->photos.size()), image));
}

void BrowserState::DeletePhoto(int32_t photoId) {
    if (closing_ || !page_) return;
    const FlowResult result = database::DeletePersonPhoto(session_, page_->person.fields.Name(), photoId);
    if (result == FlowResult::Done) {
        std::erase_if(page_->photos,
                      [photoId](const database::StoredPhoto& photo) { return photo.photoId == photoId; });
        view_.PhotosChanged(*page_);
    }
    Finish(result);
}

database::SampleOwner BrowserState::Owner() const {
    database::SampleOwner owner;
    owner.personId = page_->person.personId;
    owner.name = page_->person.fields.Name();
    owner.sampleCount = static_cast<int>(page_->samples.size());
    for (const database::StoredSample& sample : page_->samples) {
        if (sample.descriptor) owner.descriptors.push_back(*sample.descriptor);
    }
    return owner;
}

template <typename Create>
void BrowserState::AddSample(Create&& create) {
    if (closing_ || !page_) return;
    if (!page_->clusters.empty()) {
        page_->clusters.clear();
        view_.ClustersChanged(*page_);
    }
    const database::SampleWizard wizard = [this](const QString& path) { return view_.RunSampleWizard(path); };
    const database::CreationOutcome outcome = create(wizard, Owner());
    if (outcome.result == FlowResult::Done) {
        page_->samples.push_back({outcome.sampleId, outcome.image, outcome.descriptor});
        page_->person.sampleCount = static_cast<int32_t>(page_->samples.size());
        view_.SamplesChanged(*page_);
    }
    Finish(outcome.result);
}

void BrowserState::AddSampleFromFile(const QString& path) {
    AddSample([&](const database::SampleWizard& wizard, const database::SampleOwner& owner) {
        return database::CreateSampleFromFile(session_, wizard, owner, path);
    });
}

void BrowserState::AddSampleFromImage(const QImage& image) {
    AddSample([&](const database::SampleWizard& wizard, const database::SampleOwner& owner) {
        return database::CreateSampleFromImage(session_, wizard, owner, image);
    });
}

void BrowserState::DeleteSamples(const std::vector<int32_t>& sampleIds, database::SampleChoice choice) {
    if (closing_ || !page_) return;
    const database::RemovalOutcome outcome =
        database::DeleteSamples(session_, page_->person.personId, page_->person.fields.Name(), sampleIds, choice);
    if (!outcome.deletedSampleIds.empty()) {
        for (const int32_t id : outcome.deletedSampleIds) {
            std::erase_if(page_->samples, [id](const database::StoredSample& sample) { return sample.sampleId == id; });
        }
        page_->clusters.clear();
        page_->person.sampleCount = static_cast<int32_t>(page_->samples.size());
        view_.SamplesChanged(*page_);
    }
    Finish(outcome.result);
}

void BrowserState::CutSamples(const std::vector<int32_t>& sampleIds) {
    if (closing_ || !page_ || sampleIds.empty()) return;
    std::vector<database::ClipboardSample> cut;
    for (const int32_t id : sampleIds) {
        for (const database::StoredSample& sample : page_->samples) {
            if (sample.sampleId == id) cut.push_back({id, sample.descriptor});
        }
    }
    clipboard_.Cut(session_.dialogs, page_->person.personId, page_->person.fields.Name(), std::move(cut));
}

void BrowserState::PasteSamples() {
    if (closing_ || !page_) return;
    const database::SampleOwner owner = Owner();
    const database::PasteOutcome outcome =
        database::PasteSamples(session_, clipboard_, owner.personId, owner.name, owner.sampleCount, owner.descriptors);
    // The moved samples are shown with their stored images, read back.
    if (!outcome.movedSampleIds.empty()) {
        if (!ReadSamples(*page_)) {
            GiveUp();
            return;
        }
        view_.SamplesChanged(*page_);
    }
    Finish(outcome.result);
}

void BrowserState::ClusterSamples() {
    if (closing_ || !page_) return;
    page_->clusters = database::ShowSampleClusters(session_.dialogs, Owner().descriptors);
    view_.ClustersChanged(*page_);
}

}  // namespace browser

// The database browser's brain against seeded SQLite and PostgreSQL databases: the list and its
// filters, the card with its save and the question before edits are lost, the person, photo and
// sample commands, retry and give-up, and a second station that sees the changes.

#include "app/browser/browser_state.h"
#include "app/database/person_record.h"
#include "app/recognition/predict_pool.h"
#include "settings/settings_hub.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

using browser::BrowserState;
using browser::CardField;
using browser::LeaveChoice;
using browser::ListFilterChange;
using database::Answer;
using database::DbProvider;
using database::WatchList;
using dbtest::Exec;
using dbtest::QueryInt;

class RecordingView : public browser::BrowserView {
public:
    void ShowPersons(const database::PersonRows& rows, const database::PersonRecord* selected) override {
        ++listShows;
        ids.clear();
        for (const auto& row : rows) ids.push_back(row->personId);
        selectedId = selected != nullptr ? selected->personId : 0;
    }
    void ShowFilters(const settings::DbWinSettings& shown) override { filters = shown; }
    void ShowPerson(const browser::PersonPage* shown) override {
        page = shown;
        ++personShows;
        if (shown != nullptr) {
            card.Show(browser::CopyCard(shown->card));
        } else {
            card.Clear();
        }
    }
    void PhotosChanged(const browser::PersonPage&) override {}
    void SamplesChanged(const browser::PersonPage&) override {}
    void ClustersChanged(const browser::PersonPage&) override {}
    void PostClose() override { ++closes; }

    // The card panel.
    bool CardDirty() const override { return card.IsDirty(); }
    browser::LeaveOutcome ConfirmLeaveCard(database::DbSession& session) override { return card.ConfirmLeave(session); }
    database::DbOpResult SaveCard(database::DbSession& session) override { return card.Save(session); }
    std::optional<database::NewPersonInput> AskNewPerson(WatchList) override { return newPerson; }
    bool EditPropNames(database::PropNameEditor& editor) override { return editNames && editNames(editor); }
    std::optional<recognition::DescribedFace> RunSampleWizard(const QString&) override { return wizardFace; }

    std::vector<int32_t> ids;
    int32_t selectedId = 0;
    int listShows = 0;
    int personShows = 0;
    int closes = 0;
    settings::DbWinSettings filters{};
    const browser::PersonPage* page = nullptr;
    std::optional<database::NewPersonInput> newPerson;
    std::function<bool(database::PropNameEditor&)> editNames;
    std::optional<recognition::DescribedFace> wizardFace;
    browser::CardEditor card;
};

// Scripted boxes that can act between a failure and the operator's Retry.
class Dialogs : public dbtest::ScriptedDialogs {
public:
    bool AskRetry(const QString& caption, const QString& description) override {
        if (beforeRetry) beforeRetry();
        return ScriptedDialogs::AskRetry(caption, description);
    }
    std::function<void()> beforeRetry;
};

recognition::FaceDescriptor Descriptor(float seed) {
    return *recognition::FaceDescriptor::FromStorage(dbtest::DescriptorBytes(seed));
}

class BrowserStateTest : public dbtest::ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        SetFilters({1, 1, 1});
        seed_.Open(db_->ConnectionString());
    }

    // The browser filters in the program's settings.
    void SetFilters(const settings::DbWinSettings& filters) {
        hub_.Update([&filters](settings::SettingsState& next) { next.dbWin = filters; });
    }
    settings::DbWinSettings Filters() const { return hub_.Snapshot()->dbWin; }

    std::unique_ptr<BrowserState> Open(RecordingView& view) {
        auto connection = browser::OpenBrowserConnection(dialogs_, db_->ConnectionString());
        if (!connection) return nullptr;
        auto state = std::make_unique<BrowserState>(std::move(connection), db_->ConnectionString(), dialogs_, dialogs_,
                                                    journal_.Journal(), hub_, view);
        state->Start();
        return state;
    }

    int State(int personId) {
        return QueryInt(seed_, "SELECT STATE AS N FROM PERSONS WHERE PERSON_ID = ?", {personId});
    }

    settings::SettingsHub hub_;
    database::DbConnection seed_;
    Dialogs dialogs_;
    dbtest::JournalRecorder journal_;
    RecordingView view_;
};

TEST_P(BrowserStateTest, ReadsTheListThroughItsFiltersAndKeepsTheLastOneTicked) {
    const int green = dbtest::AddPerson(seed_, "Зуев", 0);
    const int red = dbtest::AddPerson(seed_, "Волков", 1);
    const int gray = dbtest::AddPerson(seed_, "Жуков", 2);
    const auto state = Open(view_);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(view_.ids.size(), 3u);
    EXPECT_EQ(view_.selectedId, 0);
    EXPECT_EQ(state->Shown(), nullptr);

    EXPECT_EQ(state->SelectPerson(red), LeaveChoice::Leave);
    ASSERT_NE(view_.page, nullptr);
    EXPECT_EQ(view_.page->person.fields.surname, QStringLiteral("Волков"));

    // Hiding the red list clears the card; the filter is stored in the settings.
    EXPECT_EQ(state->SetFilter(WatchList::Red, false), ListFilterChange::Applied);
    EXPECT_EQ(view_.ids, (std::vector<int32_t>{green, gray}));
    EXPECT_EQ(view_.page, nullptr);
    EXPECT_EQ(Filters().BlackList, 0);
    EXPECT_EQ(state->SetFilter(WatchList::Green, false), ListFilterChange::Applied);
    EXPECT_EQ(view_.ids, (std::vector<int32_t>{gray}));

    const int reads = view_.listShows;
    EXPECT_EQ(state->SetFilter(WatchList::Gray, false), ListFilterChange::Refused);
    EXPECT_EQ(view_.listShows, reads);
    EXPECT_EQ(view_.filters.GrayList, 1);
    EXPECT_EQ(Filters().GrayList, 1);
}

TEST_P(BrowserStateTest, SavesTheCardAndAsksBeforeItsEditsWouldBeLost) {
    const int first = dbtest::AddPerson(seed_, "Орлов");
    const int second = dbtest::AddPerson(seed_, "Соколов");
    Exec(seed_, "INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)", {QStringLiteral("Рост")});
    const auto state = Open(view_);
    ASSERT_NE(state, nullptr);
    state->SelectPerson(first);
    ASSERT_NE(view_.page, nullptr);
    ASSERT_EQ(view_.card.PropertyCount(), 1u);
    EXPECT_EQ(view_.card.Property(0).valueId, 0);
    const auto edit = [this] {
        view_.card.SetText(CardField::Surname, QStringLiteral("Орлова"));
        view_.card.EditProperty(0, QStringLiteral("180"));
    };
    edit();

    // Cancel stays on the person with the edits; No drops them.
    dialogs_.answers = {Answer::Cancel};
    EXPECT_EQ(state->SelectPerson(second), LeaveChoice::Stay);
    EXPECT_EQ(state->Shown()->person.personId, first);
    EXPECT_EQ(view_.card.Text(CardField::Surname), QStringLiteral("Орлова"));
    EXPECT_EQ(dialogs_.questions.back(), browser::kSaveChangesQuestion);
    dialogs_.answers = {Answer::Cancel};
    EXPECT_EQ(state->ConfirmClose(), LeaveChoice::Stay);

    dialogs_.answers = {Answer::No};
    EXPECT_EQ(state->SelectPerson(second), LeaveChoice::Leave);
    EXPECT_EQ(state->Shown()->person.personId, second);
    state->SelectPerson(first);
    EXPECT_EQ(view_.card.Text(CardField::Surname), QStringLiteral("Орлов"));

    // Yes saves, then shows the person asked for with the list read again.
    edit();
    dialogs_.answers = {Answer::Yes};
    EXPECT_EQ(state->SelectPerson(second), LeaveChoice::Leave);
    EXPECT_EQ(state->Shown()->person.personId, second);
    EXPECT_EQ(view_.selectedId, second);
    EXPECT_EQ(QueryInt(seed_, "SELECT COUNT(*) AS N FROM PERSONS WHERE SURNAME = ?", {QStringLiteral("Орлова")}), 1);
    EXPECT_EQ(QueryInt(seed_, "SELECT COUNT(*) AS N FROM PERSONPROP WHERE PERSON_ID = ?", {first}), 1);

    // The save command keeps the person shown and its row follows.
    view_.card.SetText(CardField::Forename, QStringLiteral("Петр"));
    state->SaveCard();
    EXPECT_FALSE(view_.card.IsDirty());
    EXPECT_EQ(state->Shown()->person.fields.forename, QStringLiteral("Петр"));
    EXPECT_EQ(view_.selectedId, second);
    EXPECT_EQ(view_.closes, 0);
    EXPECT_EQ(dialogs_.questions.size(), 4);
    EXPECT_EQ(state->ConfirmClose(), LeaveChoice::Leave);
}

TEST_P(BrowserStateTest, ARetryKeepsTheEditsAndAGiveUpClosesTheBrowser) {
    const int person = dbtest::AddPerson(seed_, "Лебедев");
    const auto state = Open(view_);
    ASSERT_NE(state, nullptr);
    state->SelectPerson(person);
    view_.card.SetText(CardField::Surname, QStringLiteral("Лебедева"));

    // Another station deletes the person; the operator puts it back and retries.
    Exec(seed_, "DELETE FROM PERSONS WHERE PERSON_ID = ?", {person});
    dialogs_.retry = true;
    dialogs_.beforeRetry = [&] {
        dialogs_.beforeRetry = nullptr;
        Exec(seed_, "INSERT INTO PERSONS (PERSON_ID, STATE, LIST_NUM, SURNAME, Gender) VALUES (?, 0, 0, ?, 1)",
             {person, QStringLiteral("Лебедев")});
    };
    state->SaveCard();
    EXPECT_EQ(dialogs_.questions.size(), 1);
    EXPECT_EQ(QueryInt(seed_, "SELECT COUNT(*) AS N FROM PERSONS WHERE SURNAME = ?", {QStringLiteral("Лебедева")}), 1);
    EXPECT_EQ(view_.closes, 0);

    // Deleted again, and the operator cancels: the close is posted once, nothing runs any more.
    view_.card.SetText(CardField::Surname, QStringLiteral("Лебедь"));
    Exec(seed_, "DELETE FROM PERSONS WHERE PERSON_ID = ?", {person});
    dialogs_.retry = false;
    state->SaveCard();
    EXPECT_EQ(view_.closes, 1);
    EXPECT_TRUE(state->Closing());
    const int reads = view_.listShows;
    state->SetFilter(WatchList::Red, false);
    state->NewPerson();
    EXPECT_EQ(view_.listShows, reads);
    EXPECT_EQ(state->ConfirmClose(), LeaveChoice::Leave);
    EXPECT_EQ(view_.closes, 1);
}

TEST_P(BrowserStateTest, PersonCommandsReadTheListAgainSelectingTheirPerson) {
    const int green = dbtest::AddPerson(seed_, "Белов", 0);
    SetFilters({1, 0, 0});
    const auto state = Open(view_);
    ASSERT_NE(state, nullptr);

    // A gray person while the gray filter is off: the filter comes on and the new person is shown.
    database::NewPersonInput input;
    input.list = WatchList::Gray;
    input.fields.surname = QStringLiteral("Серов");
    view_.newPerson = input;
    state->NewPerson();
    EXPECT_EQ(view_.filters.GrayList, 1);
    EXPECT_EQ(view_.ids.size(), 2u);
    ASSERT_NE(state->Shown(), nullptr);
    const int32_t gray = state->Shown()->person.personId;
    EXPECT_EQ(view_.selectedId, gray);
    EXPECT_EQ(journal_.Count(QStringLiteral("Создана новая персона")), 1);

    state->ChangeList(WatchList::Red);
    EXPECT_EQ(view_.filters.BlackList, 1);
    EXPECT_EQ(state->Shown()->person.list, WatchList::Red);
    EXPECT_EQ(view_.selectedId, gray);

    dialogs_.answers = {Answer::No};
    state->DeletePerson();
    EXPECT_EQ(view_.ids.size(), 2u);
    state->DeletePerson();
    EXPECT_EQ(view_.ids, (std::vector<int32_t>{green}));
    EXPECT_EQ(state->Shown(), nullptr);
    EXPECT_EQ(view_.page, nullptr);
    EXPECT_EQ(journal_.Count(QStringLiteral("Удалена персона")), 1);
}

TEST_P(BrowserStateTest, PropertyNamesAreEditedAfterTheCardsEditsAreSettled) {
    const int person = dbtest::AddPerson(seed_, "Козлов");
    Exec(seed_, "INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, ?)", {QStringLiteral("Рост")});
    Exec(seed_, "INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (2, ?)", {QStringLiteral("Вес")});
    const auto state = Open(view_);
    ASSERT_NE(state, nullptr);
    state->SelectPerson(person);
    view_.card.EditProperty(1, QStringLiteral("80"));

    int opened = 0;
    view_.editNames = [&opened](database::PropNameEditor& editor) {
        ++opened;
        editor.MoveUp(1);
        editor.Add(QStringLiteral(" Рост стоя "));
        return true;
    };
    dialogs_.answers = {Answer::Cancel};
    state->EditPropNames();
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(view_.card.IsDirty());

    // Saved first; the card then lists the names in their new order, the person still shown.
    dialogs_.answers = {Answer::Yes};
    state->EditPropNames();
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(view_.card.PropertyCount(), 3u);
    EXPECT_EQ(view_.card.Property(0).name, QStringLiteral("Вес"));
    EXPECT_EQ(view_.card.Property(0).storedValue, QStringLiteral("80"));
    EXPECT_EQ(view_.card.Property(2).name, QStringLiteral("Рост стоя"));
    EXPECT_EQ(view_.selectedId, person);

    view_.editNames = [](database::PropNameEditor&) { return false; };
    state->EditPropNames();
    EXPECT_EQ(QueryInt(seed_, "SELECT COUNT(*) AS N FROM PROPLIST"), 3);
}

TEST_P(BrowserStateTest, PhotosAndSamplesFollowTheirCommands) {
    const int source = dbtest::AddPerson(seed_, "Попов");
    const int destination = dbtest::AddPerson(seed_, "Новиков");
    for (const float seed : {0.0f, 0.01f, 1.0f, 1.01f}) dbtest::AddSample(seed_, source, dbtest::DescriptorBytes(seed));
    const auto state = Open(view_);
    ASSERT_NE(state, nullptr);
    state->SelectPerson(source);
    ASSERT_EQ(state->Shown()->samples.size(), 4u);
    view_.card.SetText(CardField::Address, QStringLiteral("Москва"));

    // A photo from a file, stored at most 400 pixels high.
    QTemporaryDir dir;
    QImage picture(300, 1000, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString path = dir.filePath("photo.png");
    ASSERT_TRUE(picture.save(path));
    state->AddPhotoFromFile(path);
    ASSERT_EQ(state->Shown()->photos.size(), 1u);
    EXPECT_EQ(QImage::fromData(state->Shown()->photos[0].image).size(), QSize(120, 400));
    // One from a clipboard bitmap, kept at its size below 400 pixels.
    QImage pasted(200, 150, QImage::Format_RGB32);
    pasted.fill(Qt::yellow);
    state->AddPhotoFromImage(pasted);
    ASSERT_EQ(state->Shown()->photos.size(), 2u);
    EXPECT_EQ(QImage::fromData(state->Shown()->photos[1].image).size(), QSize(200, 150));
    state->DeletePhoto(state->Shown()->photos[1].photoId);
    state->DeletePhoto(state->Shown()->photos[0].photoId);
    EXPECT_TRUE(state->Shown()->photos.empty());
    EXPECT_EQ(QueryInt(seed_, "SELECT COUNT(*) AS N FROM PHOTO"), 0);

    // Two pairs of alike samples make two clusters.
    state->ClusterSamples();
    const std::vector<int> clusters = state->Shown()->clusters;
    ASSERT_EQ(clusters.size(), 4u);
    EXPECT_NE(clusters[0], 0);
    EXPECT_EQ(clusters[0], clusters[1]);
    EXPECT_EQ(clusters[2], clusters[3]);
    EXPECT_NE(clusters[0], clusters[2]);

    // A sample through the wizard: the clusters are cleared and the sample joins the pad.
    recognition::DescribedFace face;
    face.descriptor = Descriptor(0.02f);
    face.chip = cv::Mat(150, 150, CV_8UC3, cv::Scalar(40, 90, 160));
    view_.wizardFace = face;
    QImage big(240, 240, QImage::Format_RGB32);
    big.fill(Qt::gray);
    ASSERT_TRUE(big.save(dir.filePath("face.png")));
    const int before = State(source);
    state->AddSampleFromFile(dir.filePath("face.png"));
    ASSERT_EQ(state->Shown()->samples.size(), 5u);
    EXPECT_TRUE(state->Shown()->clusters.empty());
    EXPECT_EQ(QImage::fromData(state->Shown()->samples[4].image).size(), QSize(150, 150));
    EXPECT_EQ(State(source), before + 1);

    // Cut two samples, paste them into the other person: both persons' STATE move on.
    const std::vector<int32_t> cut = {state->Shown()->samples[2].sampleId, state->Shown()->samples[3].sampleId};
    state->CutSamples(cut);
    EXPECT_EQ(state->Clipboard().Samples().size(), 2u);
    const int sourceState = State(source);
    const int destinationState = State(destination);
    dialogs_.answers = {Answer::No};  // "Сохранить изменения?": the address is dropped
    state->SelectPerson(destination);
    state->PasteSamples();
    EXPECT_EQ(state->Shown()->samples.size(), 2u);
    EXPECT_EQ(state->Shown()->person.sampleCount, 2);
    EXPECT_EQ(State(source), sourceState + 2);
    EXPECT_EQ(State(destination), destinationState + 2);
    EXPECT_TRUE(state->Clipboard().Empty());
    EXPECT_EQ(journal_.Count(QStringLiteral("2 образца перемещено")), 1);

    // Deleting the current sample.
    dialogs_.answers = {};
    state->DeleteSamples({state->Shown()->samples[0].sampleId}, database::SampleChoice::Current);
    EXPECT_EQ(state->Shown()->samples.size(), 1u);
    EXPECT_EQ(QueryInt(seed_, "SELECT COUNT(*) AS N FROM SAMPLES WHERE PERSON_ID = ?", {destination}), 1);
    EXPECT_EQ(view_.closes, 0);
}

TEST_P(BrowserStateTest, ASecondStationSeesTheChanges) {
    const int person = dbtest::AddPerson(seed_, "Егоров");
    dbtest::AddSample(seed_, person, dbtest::DescriptorBytes(0.5f));
    const auto first = Open(view_);
    RecordingView otherView;
    const auto second = Open(otherView);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    // The running program's working set, which follows in its next check.
    dbtest::SyncHarness program;
    const auto check = [&] {
        database::DbConnection connection;
        connection.Open(db_->ConnectionString());
        program.sync.ActualizePersonModelList(connection);
    };
    const auto samplesOf = [&](int32_t id) -> int {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        const recognition::PersonModel* model = program.models.Find(static_cast<uint32_t>(id));
        return model == nullptr ? 0 : static_cast<int>(model->descriptors.Count());
    };
    check();
    EXPECT_EQ(samplesOf(person), 1);

    database::NewPersonInput input;
    input.fields.surname = QStringLiteral("Михайлов");
    view_.newPerson = input;
    first->NewPerson();
    const int32_t added = first->Shown()->person.personId;
    first->SelectPerson(person);
    first->CutSamples({first->Shown()->samples[0].sampleId});
    first->SelectPerson(added);
    first->PasteSamples();

    // The other station reads its list again (a filter change) and sees both.
    second->SetFilter(WatchList::Red, false);
    ASSERT_EQ(otherView.ids.size(), 2u);
    second->SelectPerson(added);
    EXPECT_EQ(second->Shown()->samples.size(), 1u);
    EXPECT_EQ(second->Shown()->person.sampleCount, 1);

    check();
    EXPECT_EQ(samplesOf(person), 0);
    EXPECT_EQ(samplesOf(added), 1);
}

INSTANTIATE_TEST_SUITE_P(Providers, BrowserStateTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         dbtest::ProviderTestName);

}  // namespace

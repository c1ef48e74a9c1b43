#pragma once
// Purpose: the database browser window "База данных Ostrovid": menus, toolbar, the person list on
//          the left and the person card on the right of a 5-pixel band at DbDivProportion. The
//          window forwards every command and panel event to browser::BrowserState and shows what
//          it reports; it holds no rule of its own.
// Threads: the user-interface thread only.
// Owns: the browser state (and through it the browser connection) and its child widgets.

#include "app/browser/browser_state.h"
#include "app/ui/operator_boxes.h"

#include <QDialog>

#include <map>
#include <memory>

class QMenu;
class QToolButton;

namespace actions {
class SpeechVoices;
}

namespace recognition {
class FaceModels;
}

namespace ui {

class PersonCardWidget;
class PersonListPanel;
class PersonSearchWindow;
class PhotoPad;
class SamplePad;
class SplitPane;

class DatabaseBrowser final : public QDialog, public browser::BrowserView {
public:
    // hub: the program's settings (the list filters, the division); it must outlive the window.
    // models: for the sample wizard (null: samples cannot be made from pictures). speech: for the
    // card's speech test (null: no speech, " Тест" stays disabled); it must outlive the window.
    DatabaseBrowser(std::unique_ptr<database::DbConnection> connection, const QString& connectionString,
                    const shell::Journal& journal, settings::SettingsHub& hub, recognition::FaceModels* models,
                    QWidget* parent, actions::SpeechVoices* speech = nullptr);
    ~DatabaseBrowser() override;

    browser::BrowserState& State() { return *state_; }
    // The menu item and the toolbar button of a command (null when it has none).
    QAction* MenuAction(int command) const;
    QToolButton* ToolButton(int command) const;
    QMenu* ListMenu() const { return listMenu_; }
    SplitPane* Division() const { return division_; }
    PersonListPanel* List() const { return list_; }
    PersonCardWidget* Card() const { return card_; }
    PersonSearchWindow* Search() const { return search_; }
    void OnCommand(int command);
    // Selects the person's row as a click would.
    void SelectPerson(int32_t personId);

    // browser::BrowserView
    void ShowPersons(const database::PersonRows& rows, const database::PersonRecord* selected) override;
    void ShowFilters(const settings::DbWinSettings& filters) override;
    void ShowPerson(const browser::PersonPage* page) override;
    void PhotosChanged(const browser::PersonPage& page) override;
    void SamplesChanged(const browser::PersonPage& page) override;
    void ClustersChanged(const browser::PersonPage& page) override;
    bool CardDirty() const override;
    browser::LeaveOutcome ConfirmLeaveCard(database::DbSession& session) override;
    database::DbOpResult SaveCard(database::DbSession& session) override;
    void PostClose() override;
    std::optional<database::NewPersonInput> AskNewPerson(database::WatchList initialList) override;
    bool EditPropNames(database::PropNameEditor& editor) override;
    std::optional<recognition::DescribedFace> RunSampleWizard(const QString& path) override;

    // Close box, Esc and "Закрыть": unsaved card edits are asked about first.
    void reject() override;

private:
    void CreateMenus(QWidget* bar);
    QWidget* CreateToolbar();
    void UpdateCommands();
    // The list's selection changed (0: none).
    void OnPersonSelected(int32_t personId);

    OperatorBoxes boxes_;
    recognition::FaceModels* models_;
    actions::SpeechVoices* speech_;
    std::map<int, QAction*> menuActions_;
    std::map<int, QToolButton*> toolButtons_;
    QMenu* listMenu_ = nullptr;
    SplitPane* division_ = nullptr;
    PersonListPanel* list_ = nullptr;
    PersonSearchWindow* search_ = nullptr;
    PersonCardWidget* card_ = nullptr;
    PhotoPad* photos_ = nullptr;
    SamplePad* samples_ = nullptr;
    // The list's selection is being set from here: not the operator's choice.
    bool restoring_ = false;
    bool awaiting_ = false;  // the wait pump is running: a statement is awaited
    // Declared last: destroyed first, while the panels it reports to still exist.
    std::unique_ptr<browser::BrowserState> state_;
};

// The main frame's "Смотреть/редактировать": opens the browser connection with DbConnectionString
// (a failure is shown, and no window), then runs the browser maximized and modal.
void OpenDatabaseBrowser(QWidget* owner, const shell::Journal& journal, settings::SettingsHub& hub,
                         recognition::FaceModels* models, actions::SpeechVoices* speech = nullptr);

}  // namespace ui

#include "app/ui/database_browser.h"

#include "app/browser/browser_menus.h"
#include "app/ui/new_person_dialog.h"
#include "app/ui/person_card_widget.h"
#include "app/ui/person_list_panel.h"
#include "app/ui/person_search_window.h"
#include "app/ui/photo_pad.h"
#include "app/ui/prop_names_dialog.h"
#include "app/ui/queued_call.h"
#include "app/ui/sample_pad.h"
#include "app/ui/sample_wizard.h"
#include "app/ui/speech_test_dialog.h"
#include "app/ui/split_pane.h"
#include "settings/channel_saves.h"
#include "settings/settings_state.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <functional>

namespace ui {

using database::WatchList;

DatabaseBrowser::DatabaseBrowser(std::unique_ptr<database::DbConnection> connection, const QString& connectionString,
                                 const shell::Journal& journal, settings::SettingsHub& hub,
                                 recognition::FaceModels* models, QWidget* parent, actions::SpeechVoices* speech)
    : QDialog(parent), boxes_(this), models_(models), speech_(speech) {
    setObjectName(QStringLiteral("DatabaseBrowser"));
    setWindowTitle(browser::kBrowserTitle);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setMinimumSize(800, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QMenuBar(this);
    layout->setMenuBar(bar);
    CreateMenus(bar);
    layout->addWidget(CreateToolbar());

    const auto saveDivision = [&hub](double proportion) {
        hub.Update([proportion](settings::SettingsState& s) { s.DbDivProportion = proportion; });
        settings::SaveDbDivProportion(proportion);
    };
    division_ = new SplitPane(Qt::Horizontal, hub.Snapshot()->DbDivProportion, saveDivision, this);
    division_->setObjectName(QStringLiteral("BrowserDivision"));
    list_ = new PersonListPanel(ListFilterRow::Shown, division_);
    card_ = new PersonCardWidget(division_);
    photos_ = new PhotoPad;
    samples_ = new SamplePad;
    card_->SetPhotoPad(photos_);
    card_->SetSamplePad(samples_);
    card_->SetSpeechVoiceCount(speech_ != nullptr ? speech_->VoiceCount() : 0);
    division_->SetPanels(list_, card_);
    layout->addWidget(division_, 1);
    search_ = new PersonSearchWindow(*list_, this);

    // A slow statement keeps the window painted and its timers running; the operator's input waits
    // so that no command starts inside a running one.
    connection->SetWaitPump([this] {
        awaiting_ = true;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        awaiting_ = false;
    });
    state_ = std::make_unique<browser::BrowserState>(std::move(connection), connectionString, boxes_, boxes_, journal,
                                                     hub, *this);
    list_->selectionChanged = [this] {
        if (!restoring_) OnPersonSelected(list_->Selected() != nullptr ? list_->Selected()->personId : 0);
    };
    list_->filterChanged = [this](const settings::DbWinSettings& filters) {
        const settings::DbWinSettings& now = state_->Filters();
        if (filters.WhiteList != now.WhiteList) state_->SetFilter(WatchList::Green, filters.WhiteList != 0);
        if (filters.BlackList != now.BlackList) state_->SetFilter(WatchList::Red, filters.BlackList != 0);
        if (filters.GrayList != now.GrayList) state_->SetFilter(WatchList::Gray, filters.GrayList != 0);
        UpdateCommands();
    };
    list_->commandChosen = [this](int command) { OnCommand(command); };
    search_->found = [this] { card_->ShowPage(PersonCardWidget::Page::Metrics); };
    card_->onSave = [this] { OnCommand(browser::kCmdSaveCard); };
    card_->onTestSpeech = [this](const QString& text) {
        if (speech_ == nullptr) return;
        if (const std::optional<QString> edited = RunPersonSpeechTest(this, *speech_, text))
            card_->SetSpeech(*edited);
    };
    photos_->onAddFromFile = [this](const QString& path) { state_->AddPhotoFromFile(path); };
    photos_->onAddFromClipboard = [this] { state_->AddPhotoFromImage(QGuiApplication::clipboard()->image()); };
    photos_->onDelete = [this](int32_t photoId) { state_->DeletePhoto(photoId); };
    samples_->SetSampleClipboard(&state_->Clipboard());
    samples_->onAddFromFile = [this](const QString& path) { state_->AddSampleFromFile(path); };
    samples_->onAddFromClipboard = [this] { state_->AddSampleFromImage(QGuiApplication::clipboard()->image()); };
    samples_->onDelete = [this](const browser::SampleTarget& target) {
        state_->DeleteSamples(target.SampleIds(), target.choice);
    };
    samples_->onCut = [this](const browser::SampleTarget& target) {
        state_->CutSamples(target.SampleIds());
        samples_->RefreshCommands();
    };
    samples_->onPaste = [this] { state_->PasteSamples(); };
    samples_->onClusters = [this] { state_->ClusterSamples(); };
    state_->Start();
    UpdateCommands();
}

DatabaseBrowser::~DatabaseBrowser() {
    // The pad holds the clipboard only while the state exists.
    samples_->SetSampleClipboard(nullptr);
}

void DatabaseBrowser::OnPersonSelected(int32_t personId) {
    // Staying with unsaved edits puts the list's selection back.
    if (state_->SelectPerson(personId) == browser::LeaveChoice::Stay && state_->Shown() != nullptr) {
        restoring_ = true;
        list_->SelectPerson(state_->Shown()->person.personId, ListFocus::Keep);
        restoring_ = false;
    }
    UpdateCommands();
}

void DatabaseBrowser::SelectPerson(int32_t personId) {
    if (!list_->SelectPerson(personId)) OnPersonSelected(0);
}

void DatabaseBrowser::CreateMenus(QWidget* bar) {
    auto* menuBar = static_cast<QMenuBar*>(bar);
    const std::function<void(QMenu*, const std::vector<browser::BrowserMenuItem>&)> fill =
        [&](QMenu* menu, const std::vector<browser::BrowserMenuItem>& items) {
            for (const browser::BrowserMenuItem& item : items) {
                if (item.text.isEmpty()) {
                    menu->addSeparator();
                } else if (item.command == 0) {
                    fill(menu->addMenu(item.text), item.items);
                } else {
                    QAction* action = menu->addAction(item.text);
                    action->setData(item.command);
                    menuActions_[item.command] = action;
                    connect(action, &QAction::triggered, this, [this, command = item.command] { OnCommand(command); });
                }
            }
        };
    for (const browser::BrowserMenu& menu : browser::BrowserMenus()) fill(menuBar->addMenu(menu.title), menu.items);
}

QWidget* DatabaseBrowser::CreateToolbar() {
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("BrowserToolbar"));
    toolbar->setIconSize(QSize(32, 32));
    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("ListMenu"));
    for (const browser::BrowserMenuItem& item : browser::ListMenuItems()) {
        QAction* action = listMenu_->addAction(QString(item.text).remove(u'&'));
        connect(action, &QAction::triggered, this, [this, command = item.command] { OnCommand(command); });
    }
    const std::map<int, QStyle::StandardPixmap> icons = {
        {browser::kCmdClose, QStyle::SP_DialogCloseButton},
        {browser::kCmdDbSettings, QStyle::SP_FileDialogDetailedView},
        {browser::kCmdNewPerson, QStyle::SP_FileDialogNewFolder},
        {browser::kCmdChangeList, QStyle::SP_BrowserReload},
        {browser::kCmdDeletePerson, QStyle::SP_TrashIcon},
        {browser::kCmdSearch, QStyle::SP_FileDialogContentsView},
    };
    bool first = true;
    for (const browser::BrowserToolButton& b : browser::BrowserToolButtons()) {
        if (!first) toolbar->addSeparator();
        first = false;
        auto* button = new QToolButton(toolbar);
        button->setObjectName(QString::number(b.command));
        button->setText(b.text);
        button->setToolTip(b.tooltip);
        button->setIcon(style()->standardIcon(icons.at(b.command)));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        if (b.dropDown) {
            button->setMenu(listMenu_);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        connect(button, &QToolButton::clicked, this, [this, command = b.command] { OnCommand(command); });
        toolbar->addWidget(button);
        toolButtons_[b.command] = button;
    }
    return toolbar;
}

QAction* DatabaseBrowser::MenuAction(int command) const {
    const auto it = menuActions_.find(command);
    return it == menuActions_.end() ? nullptr : it->second;
}

QToolButton* DatabaseBrowser::ToolButton(int command) const {
    const auto it = toolButtons_.find(command);
    return it == toolButtons_.end() ? nullptr : it->second;
}

void DatabaseBrowser::UpdateCommands() {
    const bool selected = state_ && state_->Shown() != nullptr;
    for (const auto& [command, action] : menuActions_)
        action->setEnabled(browser::BrowserCommandEnabled(command, selected));
    for (const auto& [command, button] : toolButtons_)
        button->setEnabled(browser::BrowserCommandEnabled(command, selected));
    for (QAction* action : listMenu_->actions()) action->setEnabled(selected);
}

void DatabaseBrowser::OnCommand(int command) {
    switch (command) {
    case browser::kCmdDbSettings:
        state_->EditPropNames();
        break;
    case browser::kCmdClose:
        reject();
        return;
    case browser::kCmdNewPerson:
        state_->NewPerson();
        break;
    case browser::kCmdChangeList:
        if (QToolButton* button = ToolButton(command)) button->showMenu();
        return;
    case browser::kCmdListGreen:
        state_->ChangeList(WatchList::Green);
        break;
    case browser::kCmdListRed:
        state_->ChangeList(WatchList::Red);
        break;
    case browser::kCmdListGray:
        state_->ChangeList(WatchList::Gray);
        break;
    case browser::kCmdSearch:
        search_->SlideIn();
        return;
    case browser::kCmdDeletePerson:
        state_->DeletePerson();
        break;
    case browser::kCmdSaveCard:
        state_->SaveCard();
        break;
    default:
        return;
    }
    UpdateCommands();
}

void DatabaseBrowser::ShowPersons(const database::PersonRows& rows, const database::PersonRecord* selected) {
    // Thousands of rows take a moment to lay out.
    database::WaitCursorScope cursor(boxes_);
    // The panel keeps rows of its own.
    database::PersonList copy;
    copy.rows.reserve(rows.size());
    for (const auto& row : rows) {
        copy.rows.push_back(std::make_unique<database::PersonRecord>(*row));
        if (row.get() == selected) copy.selected = copy.rows.back().get();
    }
    restoring_ = true;
    list_->SetRows(std::move(copy));
    restoring_ = false;
}

void DatabaseBrowser::ShowFilters(const settings::DbWinSettings& filters) { list_->SetFilters(filters); }

void DatabaseBrowser::ShowPerson(const browser::PersonPage* page) {
    database::WaitCursorScope cursor(boxes_);
    if (page == nullptr) {
        card_->ClearPerson();
        photos_->ShowNoPerson();
        samples_->ShowNoPerson();
        return;
    }
    card_->ShowPerson(browser::CopyCard(page->card));
    photos_->ShowPhotos(page->photos);
    samples_->ShowSamples(page->person.personId, page->samples);
}

void DatabaseBrowser::PhotosChanged(const browser::PersonPage& page) { photos_->ShowPhotos(page.photos); }

void DatabaseBrowser::SamplesChanged(const browser::PersonPage& page) {
    samples_->ShowSamples(page.person.personId, page.samples);
}

void DatabaseBrowser::ClustersChanged(const browser::PersonPage& page) {
    if (!page.clusters.empty()) samples_->SetClusterLabels(page.clusters);
    samples_->RefreshCommands();
}

bool DatabaseBrowser::CardDirty() const { return card_->Editor().IsDirty(); }

browser::LeaveOutcome DatabaseBrowser::ConfirmLeaveCard(database::DbSession& session) {
    return card_->ConfirmLeave(session);
}

database::DbOpResult DatabaseBrowser::SaveCard(database::DbSession& session) { return card_->Save(session); }

void DatabaseBrowser::PostClose() {
    PostCall(this, [this] { reject(); });
}

std::optional<database::NewPersonInput> DatabaseBrowser::AskNewPerson(WatchList initialList) {
    NewPersonDialog dialog(initialList, boxes_, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Input();
}

bool DatabaseBrowser::EditPropNames(database::PropNameEditor& editor) {
    PropNamesDialog dialog(editor, this);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<recognition::DescribedFace> DatabaseBrowser::RunSampleWizard(const QString& path) {
    if (models_ == nullptr) return std::nullopt;
    return RunSampleCreateWizard(this, *models_, path);
}

void DatabaseBrowser::reject() {
    // A close that arrives while a statement is awaited (a posted give-up, the window manager)
    // waits for it: asking about the card's edits could start a save inside the running command.
    if (awaiting_) {
        PostClose();
        return;
    }
    if (state_->ConfirmClose() == browser::LeaveChoice::Stay) return;
    QDialog::reject();
}

void OpenDatabaseBrowser(QWidget* owner, const shell::Journal& journal, settings::SettingsHub& hub,
                         recognition::FaceModels* models, actions::SpeechVoices* speech) {
    const QString connectionString = QString::fromUtf16(hub.Snapshot()->DbConnectionString);
    OperatorBoxes boxes(owner);
    std::unique_ptr<database::DbConnection> connection = browser::OpenBrowserConnection(boxes, connectionString);
    if (!connection) return;
    DatabaseBrowser window(std::move(connection), connectionString, journal, hub, models, owner, speech);
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
    window.exec();
}

}  // namespace ui

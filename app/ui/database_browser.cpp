#include "app/ui/database_browser.h"

#include "app/browser/browser_menus.h"
#include "app/ui/new_person_dialog.h"
#include "app/ui/prop_names_dialog.h"
#include "app/ui/queued_call.h"
#include "app/ui/sample_wizard.h"
#include "app/ui/split_pane.h"
#include "settings/channel_saves.h"
#include "settings/settings_state.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <functional>

namespace ui {

using database::WatchList;

// Until the list panel arrives: the filters, the count and the rows.
class BrowserListPanel final : public QWidget {
public:
    explicit BrowserListPanel(QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        auto* filters = new QHBoxLayout;
        filters->addWidget(new QLabel(QStringLiteral("Списки:"), this));
        const std::array<WatchList, 3> lists = {WatchList::Green, WatchList::Red, WatchList::Gray};
        for (size_t i = 0; i < lists.size(); ++i) {
            boxes_[i] = new QCheckBox(database::WatchListName(lists[i]), this);
            filters->addWidget(boxes_[i]);
            connect(boxes_[i], &QCheckBox::toggled, this, [this, list = lists[i]](bool on) {
                if (!pushing_ && filterChanged) filterChanged(list, on);
            });
        }
        filters->addStretch();
        count_ = new QLabel(this);
        filters->addWidget(count_);
        layout->addLayout(filters);
        rows_ = new QListWidget(this);
        layout->addWidget(rows_, 1);
        connect(rows_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
            if (!pushing_ && selected) selected(item == nullptr ? 0 : item->data(Qt::UserRole).toInt());
        });
    }

    void ShowFilters(const settings::DbWinSettings& filters) {
        pushing_ = true;
        boxes_[0]->setChecked(filters.WhiteList != 0);
        boxes_[1]->setChecked(filters.BlackList != 0);
        boxes_[2]->setChecked(filters.GrayList != 0);
        pushing_ = false;
    }

    void ShowPersons(const database::PersonRows& rows, const database::PersonRecord* chosen) {
        pushing_ = true;
        rows_->clear();
        for (const auto& row : rows) {
            auto* item =
                new QListWidgetItem(QStringLiteral("%1  %2").arg(row->personId).arg(row->fields.Name().Spaced()));
            item->setData(Qt::UserRole, row->personId);
            rows_->addItem(item);
            if (row.get() == chosen) {
                rows_->setCurrentItem(item);
                rows_->scrollToItem(item);
            }
        }
        count_->setText(QStringLiteral("Персон: %1").arg(rows.size()));
        pushing_ = false;
    }

    void Select(int32_t personId) {
        pushing_ = true;
        for (int i = 0; i < rows_->count(); ++i) {
            if (rows_->item(i)->data(Qt::UserRole).toInt() == personId) rows_->setCurrentRow(i);
        }
        pushing_ = false;
    }

    std::function<void(int32_t)> selected;
    std::function<void(WatchList, bool)> filterChanged;

private:
    std::array<QCheckBox*, 3> boxes_{};
    QLabel* count_;
    QListWidget* rows_;
    bool pushing_ = false;
};

// Until the person card arrives: what is shown, and the save button.
class BrowserCardPanel final : public QWidget {
public:
    explicit BrowserCardPanel(QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        save_ = new QPushButton(QStringLiteral("Сохранить изменения"), this);
        summary_ = new QLabel(this);
        layout->addWidget(save_, 0, Qt::AlignLeft);
        layout->addWidget(summary_, 1, Qt::AlignTop);
        connect(save_, &QPushButton::clicked, this, [this] {
            if (saveClicked) saveClicked();
        });
        Show(nullptr);
    }

    void Show(const browser::PersonPage* page) {
        setEnabled(page != nullptr);
        save_->setEnabled(page != nullptr);
        if (page == nullptr) {
            summary_->clear();
            return;
        }
        summary_->setText(QStringLiteral("%1\nФото: %2\nОбразцов: %3")
                              .arg(page->person.fields.Name().Spaced())
                              .arg(page->photos.size())
                              .arg(page->samples.size()));
    }

    std::function<void()> saveClicked;

private:
    QPushButton* save_;
    QLabel* summary_;
};

namespace {

double SavedDbDivProportion() {
    platform::CriticalSectionLock lock(settings::SettingsLock());
    return settings::g_Settings().DbDivProportion;
}

void SaveDbDivProportion(double proportion) {
    {
        platform::CriticalSectionLock lock(settings::SettingsLock());
        settings::g_Settings().DbDivProportion = proportion;
    }
    settings::SaveDbDivProportion(proportion);
}

}  // namespace

DatabaseBrowser::DatabaseBrowser(std::unique_ptr<database::DbConnection> connection, const QString& connectionString,
                                 const shell::Journal& journal, recognition::FaceModels* models, QWidget* parent)
    : QDialog(parent), boxes_(this), models_(models) {
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

    division_ = new SplitPane(Qt::Horizontal, SavedDbDivProportion(), SaveDbDivProportion, this);
    division_->setObjectName(QStringLiteral("BrowserDivision"));
    list_ = new BrowserListPanel(division_);
    card_ = new BrowserCardPanel(division_);
    division_->SetPanels(list_, card_);
    layout->addWidget(division_, 1);

    state_ = std::make_unique<browser::BrowserState>(std::move(connection), connectionString, boxes_, boxes_, journal,
                                                     *this);
    list_->filterChanged = [this](WatchList list, bool on) {
        state_->SetFilter(list, on);
        UpdateCommands();
    };
    list_->selected = [this](int32_t personId) { OnPersonSelected(personId); };
    card_->saveClicked = [this] { OnCommand(browser::kCmdSaveCard); };
    state_->Start();
    UpdateCommands();
}

DatabaseBrowser::~DatabaseBrowser() = default;

void DatabaseBrowser::OnPersonSelected(int32_t personId) {
    // Staying with unsaved edits puts the list's selection back.
    if (state_->SelectPerson(personId) == browser::LeaveChoice::Stay && state_->Shown() != nullptr) {
        list_->Select(state_->Shown()->person.personId);
    }
    UpdateCommands();
}

void DatabaseBrowser::SelectPerson(int32_t personId) {
    list_->Select(personId);
    OnPersonSelected(personId);
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
        break;
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
    list_->ShowPersons(rows, selected);
}

void DatabaseBrowser::ShowFilters(const settings::DbWinSettings& filters) { list_->ShowFilters(filters); }

void DatabaseBrowser::ShowPerson(const browser::PersonPage* page) {
    database::WaitCursorScope cursor(boxes_);
    card_->Show(page);
}

void DatabaseBrowser::PhotosChanged(const browser::PersonPage& page) { card_->Show(&page); }
void DatabaseBrowser::SamplesChanged(const browser::PersonPage& page) { card_->Show(&page); }
void DatabaseBrowser::ClustersChanged(const browser::PersonPage& page) { card_->Show(&page); }
bool DatabaseBrowser::CardDirty() const { return false; }
browser::CardLeave DatabaseBrowser::ConfirmLeaveCard(database::DbSession&) { return browser::CardLeave::Proceed; }
database::DbOpResult DatabaseBrowser::SaveCard(database::DbSession&) { return database::DbOpDone; }

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
    if (state_->ConfirmClose() == browser::LeaveChoice::Stay) return;
    QDialog::reject();
}

void OpenDatabaseBrowser(QWidget* owner, const shell::Journal& journal, recognition::FaceModels* models) {
    const QString connectionString = [] {
        platform::CriticalSectionLock lock(settings::SettingsLock());
        return QString::fromUtf16(settings::g_Settings().DbConnectionString);
    }();
    OperatorBoxes boxes(owner);
    std::unique_ptr<database::DbConnection> connection = browser::OpenBrowserConnection(boxes, connectionString);
    if (!connection) return;
    DatabaseBrowser window(std::move(connection), connectionString, journal, models, owner);
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
    window.exec();
}

}  // namespace ui

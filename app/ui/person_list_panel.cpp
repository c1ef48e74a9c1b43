#include "app/ui/person_list_panel.h"

#include "app/browser/browser_commands.h"
#include "app/browser/person_list_filter.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace ui {

using browser::PersonSortColumn;
using database::WatchList;

namespace {

constexpr std::array<WatchList, 3> kLists{WatchList::Green, WatchList::Red, WatchList::Gray};
constexpr std::array<int, browser::kPersonColumnCount> kColumnWidths{62, 65, 180, 75};

int ListCommand(WatchList list) {
    switch (list) {
    case WatchList::Green:
        return browser::kCmdListGreen;
    case WatchList::Red:
        return browser::kCmdListRed;
    case WatchList::Gray:
        break;
    }
    return browser::kCmdListGray;
}

// The "Список" column's picture: a disc in the list's colour.
QIcon ListIcon(WatchList list) {
    static const std::array<QIcon, 3> icons = [] {
        std::array<QIcon, 3> drawn;
        const std::array<QColor, 3> colours{QColor(40, 160, 60), QColor(200, 40, 40), QColor(130, 130, 130)};
        for (size_t i = 0; i < drawn.size(); ++i) {
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(colours[i].darker(150), 1));
            p.setBrush(colours[i]);
            p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
            drawn[i] = QIcon(pixmap);
        }
        return drawn;
    }();
    return icons[static_cast<size_t>(list)];
}

}  // namespace

// The rows of a PersonListModel as the view shows them.
class PersonTableModel final : public QAbstractTableModel {
public:
    explicit PersonTableModel(const browser::PersonListModel& list, QObject* parent)
        : QAbstractTableModel(parent), list_(list) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(list_.RowCount());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : browser::kPersonColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const database::PersonRecord& person = list_.Row(static_cast<size_t>(index.row()));
        const auto column = static_cast<PersonSortColumn>(index.column());
        if (role == Qt::DecorationRole && column == PersonSortColumn::List) return ListIcon(person.list);
        if (role != Qt::DisplayRole) return {};
        switch (column) {
        case PersonSortColumn::List:
            return {};
        case PersonSortColumn::Id:
            return person.personId;
        case PersonSortColumn::Name:
            return browser::PersonFullName(person);
        case PersonSortColumn::Samples:
            return person.sampleCount;
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        static const std::array<QString, browser::kPersonColumnCount> titles{
            QStringLiteral("Список"), QStringLiteral("ID"), QStringLiteral("Ф.И.О."), QStringLiteral("Образцов")};
        return section >= 0 && section < browser::kPersonColumnCount ? QVariant(titles[static_cast<size_t>(section)])
                                                                     : QVariant();
    }

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    const browser::PersonListModel& list_;
};

PersonListPanel::PersonListPanel(ListFilterRow filterRow, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);
    if (filterRow == ListFilterRow::Shown) {
        top->addWidget(new QLabel(QStringLiteral("Списки:"), this));
        static const std::array<const char*, 3> names{"filterGreen", "filterRed", "filterGray"};
        for (size_t i = 0; i < kLists.size(); ++i) {
            const WatchList list = kLists[i];
            auto* box = new QCheckBox(database::WatchListName(list), this);
            box->setObjectName(QString::fromLatin1(names[i]));
            box->setChecked(browser::ListFilterOn(filters_, list));
            connect(box, &QCheckBox::toggled, this, [this, list](bool ticked) { FilterToggled(list, ticked); });
            filterBoxes_[i] = box;
            top->addWidget(box);
        }
    }
    top->addStretch();
    top->addWidget(new QLabel(QStringLiteral("Персон:"), this));
    count_ = new QLabel(model_.CountText(), this);
    count_->setObjectName(QStringLiteral("personCount"));
    top->addWidget(count_);

    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("personList"));
    table_ = new PersonTableModel(model_, view_);
    view_->setModel(table_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(true);
    view_->setWordWrap(false);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(static_cast<int>(model_.SortColumn()), Qt::AscendingOrder);
    for (size_t i = 0; i < kColumnWidths.size(); ++i) view_->setColumnWidth(static_cast<int>(i), kColumnWidths[i]);
    layout->addWidget(view_, 1);

    connect(header, &QHeaderView::sectionClicked, this, [this](int section) { SortClicked(section); });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ViewSelectionChanged(); });
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && personActivated) personActivated();
    });
    connect(view_, &QTableView::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!commandChosen) return;
        const std::unique_ptr<QMenu> menu = CreateContextMenu();
        menu->exec(view_->viewport()->mapToGlobal(at));
    });
    const auto key = [this](const QKeySequence& sequence, auto run) {
        auto* shortcut = new QShortcut(sequence, view_);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, run);
    };
    key(QKeySequence(Qt::Key_Insert), [this] { Choose(browser::kCmdNewPerson); });
    key(QKeySequence(QKeySequence::Delete), [this] {
        if (model_.MenuState().deletePerson) Choose(browser::kCmdDeletePerson);
    });
}

PersonListPanel::~PersonListPanel() = default;

void PersonListPanel::SetFilters(const settings::DbWinSettings& filters) {
    filters_ = filters;
    for (size_t i = 0; i < kLists.size(); ++i) {
        if (filterBoxes_[i] == nullptr) continue;
        const QSignalBlocker quiet(filterBoxes_[i]);
        filterBoxes_[i]->setChecked(browser::ListFilterOn(filters_, kLists[i]));
    }
}

void PersonListPanel::FilterToggled(WatchList list, bool ticked) {
    if (browser::ToggleListFilter(filters_, list, ticked) != browser::FilterToggle::Changed) {
        SetFilters(filters_);  // a refused clear ticks the box again
        return;
    }
    if (filterChanged) filterChanged(filters_);
}

void PersonListPanel::SetRows(database::PersonList list) {
    syncing_ = true;
    table_->BeginReset();
    model_.SetRows(std::move(list));
    table_->EndReset();
    syncing_ = false;
    count_->setText(model_.CountText());
    ShowModelSelection(ListFocus::Take);
    NotifyWatchers();
}

bool PersonListPanel::SelectPerson(int32_t personId, ListFocus focus) {
    const std::optional<size_t> row = model_.RowOfPerson(personId);
    if (!row) return false;
    const bool changed = model_.SelectedRow() != row;
    model_.Select(row);
    ShowModelSelection(focus);
    if (changed && selectionChanged) selectionChanged();
    NotifyWatchers();
    return true;
}

void PersonListPanel::SortClicked(int section) {
    const auto column = static_cast<PersonSortColumn>(section);
    // The header flips its own mark on a click; the order is always ascending.
    view_->horizontalHeader()->setSortIndicator(static_cast<int>(model_.SortColumn()), Qt::AscendingOrder);
    if (section < 0 || section >= browser::kPersonColumnCount || !model_.SortBy(column)) return;
    view_->horizontalHeader()->setSortIndicator(section, Qt::AscendingOrder);
    syncing_ = true;
    table_->BeginReset();
    table_->EndReset();
    syncing_ = false;
    ShowModelSelection(ListFocus::Keep);
    NotifyWatchers();
}

void PersonListPanel::ViewSelectionChanged() {
    if (syncing_) return;
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    const std::optional<size_t> row =
        rows.isEmpty() ? std::nullopt : std::optional<size_t>(static_cast<size_t>(rows.front().row()));
    if (model_.SelectedRow() == row) return;
    model_.Select(row);
    if (selectionChanged) selectionChanged();
    NotifyWatchers();
}

void PersonListPanel::ShowModelSelection(ListFocus focus) {
    syncing_ = true;
    const std::optional<size_t> row = model_.SelectedRow();
    if (row) {
        const QModelIndex index = table_->index(static_cast<int>(*row), 0);
        view_->selectionModel()->setCurrentIndex(index,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view_->scrollTo(index);
        if (focus == ListFocus::Take) view_->setFocus(Qt::OtherFocusReason);
    } else {
        view_->selectionModel()->clearSelection();
    }
    syncing_ = false;
}

std::unique_ptr<QMenu> PersonListPanel::CreateContextMenu() {
    const browser::PersonMenuState state = model_.MenuState();
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [this](QMenu* to, const QString& text, int command) {
        QAction* action = to->addAction(text);
        connect(action, &QAction::triggered, this, [this, command] { Choose(command); });
        return action;
    };
    add(menu.get(), QStringLiteral("Новая персона..."), browser::kCmdNewPerson)
        ->setShortcut(QKeySequence(Qt::Key_Insert));
    QMenu* lists = menu->addMenu(QStringLiteral("Изменить список на"));
    lists->setEnabled(state.changeList);
    for (const WatchList list : kLists) {
        QAction* action = add(lists, database::WatchListName(list), ListCommand(list));
        action->setCheckable(true);
        action->setChecked(state.current == list);
        action->setEnabled(state.changeList);
    }
    QAction* remove = add(menu.get(), QStringLiteral("Удалить"), browser::kCmdDeletePerson);
    remove->setShortcut(QKeySequence(QKeySequence::Delete));
    remove->setEnabled(state.deletePerson);
    add(menu.get(), QStringLiteral("Поиск..."), browser::kCmdSearch);
    return menu;
}

void PersonListPanel::Choose(int command) {
    if (commandChosen) commandChosen(command);
}

void PersonListPanel::NotifyWatchers() {
    for (const auto& watcher : watchers_) watcher();
}

}  // namespace ui

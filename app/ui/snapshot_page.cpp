#include "app/ui/snapshot_page.h"

#include "app/database/snapshot_samples.h"
#include "app/snapshots/snapshot_actions.h"
#include "app/ui/pad_marks.h"
#include "app/ui/person_chooser.h"
#include "platform/fixedtext.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace ui {

namespace {

const QString kItemName = QStringLiteral("Vektra:OSTROVID_V2:CAMERA:SAMPLES:ITEM");
constexpr int kMark = snapshots::SnapshotList::kMarkSize;
constexpr int kSaveCommand = 40043;
constexpr int kDeleteCommand = 40044;
constexpr int kClustersCommand = 40045;
constexpr int kSelectAllCommand = 40046;
constexpr int kDeselectAllCommand = 40047;

}  // namespace

void SnapshotPage::Command::SetEnabled(bool enabled) const {
    item->setEnabled(enabled);
    if (button != nullptr) button->setEnabled(enabled);
}

SnapshotPage::SnapshotPage(snapshots::SnapshotDescriber* describer, const shell::Journal& journal,
                           const settings::SettingsHub& hub, QWidget* parent)
    : ItemPad(parent), describer_(describer), journal_(journal), hub_(hub), boxes_(this) {
    setObjectName(QStringLiteral("SnapshotPage"));
    selectAll_.item = AddCommand(kSelectAllCommand, QStringLiteral("Выбрать все"), QKeySequence(Qt::CTRL | Qt::Key_A),
                                 &SnapshotPage::SelectAll);
    deselectAll_.item = AddCommand(kDeselectAllCommand, QStringLiteral("Снять выбор со всех"),
                                   QKeySequence(Qt::CTRL | Qt::Key_D), &SnapshotPage::DeselectAll);
    save_.item = AddCommand(kSaveCommand, QStringLiteral("Сохранить как образцы"), QKeySequence(Qt::CTRL | Qt::Key_S),
                            &SnapshotPage::SaveAsSamples);
    remove_.item =
        AddCommand(kDeleteCommand, QStringLiteral("Удалить"), QKeySequence::Delete, &SnapshotPage::DeleteSnapshots);
    clusters_.item =
        AddCommand(kClustersCommand, QStringLiteral("Кластеры"), QKeySequence(), &SnapshotPage::ShowClusters);
    itemMenu_ = new QMenu(QStringLiteral("CameraSamples"), this);
    itemMenu_->setObjectName(QStringLiteral("CameraSamples"));
    for (QAction* action : {selectAll_.item, deselectAll_.item, save_.item, remove_.item, clusters_.item})
        itemMenu_->addAction(action);

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto addButton = [this, toolbar](int command, const QString& text, void (SnapshotPage::*run)()) {
        QAction* action = toolbar->addAction(text);
        toolbar->widgetForAction(action)->setObjectName(QString::number(command));
        QObject::connect(action, &QAction::triggered, this, [this, run] { Run(run); });
        return action;
    };
    save_.button = addButton(kSaveCommand, QStringLiteral("Сохранить"), &SnapshotPage::SaveAsSamples);
    remove_.button = addButton(kDeleteCommand, QStringLiteral("Удалить"), &SnapshotPage::DeleteSnapshots);
    clusters_.button = addButton(kClustersCommand, QStringLiteral("Кластеры"), &SnapshotPage::ShowClusters);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);

    auto* scrolled = new QWidget(this);
    scrolled->setObjectName(QStringLiteral("Vektra:OSTROVID_V2:CAMERA:SAMPLES:VIEWPORT"));
    viewport_ = new QWidget(scrolled);
    viewport_->setObjectName(QStringLiteral("Vektra:OSTROVID_V2:CAMERA:SAMPLES:PAD"));
    viewport_->setFocusPolicy(Qt::StrongFocus);
    viewport_->setAutoFillBackground(true);
    viewport_->setBackgroundRole(QPalette::Base);
    scrollBar_ = new QScrollBar(Qt::Vertical, scrolled);
    scrollBar_->setSingleStep(1);
    // Only the operator moves it with signals on: Place() blocks them.
    QObject::connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int row) {
        NoteInput();
        list_.SetTopRow(row);
        Place();
    });
    // Resizes reach Place() only once the scroll bar exists.
    viewport_->installEventFilter(this);
    auto* grid = new QHBoxLayout(scrolled);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(viewport_, 1);
    grid->addWidget(scrollBar_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(line);
    layout->addWidget(scrolled, 1);

    if (describer_ != nullptr)
        describer_->SetReceiver(
            [this](std::vector<snapshots::SnapshotRecord> records) { AddSnapshots(std::move(records)); });
    Rebuild();
}

SnapshotPage::~SnapshotPage() {
    if (describer_ != nullptr) describer_->SetReceiver(nullptr);
}

QAction* SnapshotPage::AddCommand(int command, const QString& text, const QKeySequence& shortcut,
                                  void (SnapshotPage::*run)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::number(command));
    action->setShortcut(shortcut);
    // The keys work while the focus is on the page, not elsewhere in the main window.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, this, [this, run] { Run(run); });
    addAction(action);
    return action;
}

void SnapshotPage::Run(void (SnapshotPage::*command)()) {
    NoteInput();
    RefreshCommands();
    (this->*command)();
}

int SnapshotPage::HeldCount() const {
    return list_.Count() + (describer_ != nullptr ? describer_->FacesInFlight() : 0);
}

bool SnapshotPage::AcceptsSnapshot() const {
    return snapshots::SnapshotList::AcceptsRequest(list_.Count(),
                                                   describer_ != nullptr ? describer_->FacesInFlight() : 0);
}

void SnapshotPage::AddSnapshots(std::vector<snapshots::SnapshotRecord> records) {
    if (records.empty()) return;
    list_.Append(std::move(records));
    Rebuild();
    if (onSnapshotsArrived) onSnapshotsArrived();
}

// Commands triggered through a disabled entry (a key while nothing is offered) do nothing.
void SnapshotPage::SaveAsSamples() {
    if (!save_.item->isEnabled()) return;
    const QString connection = platform::FromFixed(hub_.Snapshot()->DbConnectionString);
    const database::PersonChooser chooser = SnapshotPersonChooser(this, boxes_, boxes_, connection, journal_);
    snapshots::SaveSnapshots(list_, [&](std::vector<database::Snapshot>& panel, database::SnapshotChoice choice,
                                        size_t current) {
        return database::SaveSnapshotsAsSamples(boxes_, boxes_, journal_, connection, chooser, panel, choice, current);
    });
    Rebuild();
}

void SnapshotPage::DeleteSnapshots() {
    if (!remove_.item->isEnabled()) return;
    if (snapshots::DeleteSnapshots(list_, boxes_)) Rebuild();
}

void SnapshotPage::ShowClusters() {
    if (!clusters_.item->isEnabled()) return;
    snapshots::ClusterSnapshots(list_, boxes_, boxes_, [this] { Place(); });
}

void SnapshotPage::SelectAll() {
    list_.SelectAll();
    Place();
}

void SnapshotPage::DeselectAll() {
    list_.DeselectAll();
    Place();
}

void SnapshotPage::Rebuild() { RebuildItems(static_cast<size_t>(list_.Count()), kItemName); }

void SnapshotPage::Place() {
    list_.SetViewport(viewport_->width(), viewport_->height());
    const browser::CellGrid& grid = list_.Grid();
    {
        const QSignalBlocker block(scrollBar_);
        scrollBar_->setRange(0, grid.ScrollRange());
        scrollBar_->setPageStep(grid.PageRows());
        scrollBar_->setValue(grid.TopRow());
        scrollBar_->setEnabled(grid.ScrollRange() > 0);
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i]->setVisible(grid.LaidOut());
        items_[i]->setGeometry(grid.CellRect(static_cast<int>(i)));
        items_[i]->update();
    }
    RefreshCommands();
}

void SnapshotPage::RefreshCommands() {
    const snapshots::SnapshotCommands commands = list_.Commands();
    selectAll_.SetEnabled(commands.selectAll);
    deselectAll_.SetEnabled(commands.deselectAll);
    save_.SetEnabled(commands.save);
    remove_.SetEnabled(commands.remove);
    clusters_.SetEnabled(commands.clusters);
}

void SnapshotPage::PaintItem(QWidget* item, int index) {
    const snapshots::SnapshotRecord& snapshot = list_.Items()[static_cast<size_t>(index)];
    QPainter painter(item);
    const bool focused = list_.Focus() == index;
    painter.fillRect(item->rect(), palette().color(focused ? QPalette::Highlight : QPalette::Base));
    if (!snapshot.thumbnail.isNull()) {
        QRect drawn(QPoint(), snapshot.thumbnail.size());
        drawn.moveCenter(item->rect().center());
        painter.drawImage(drawn, snapshot.thumbnail);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    DrawSelectionMark(painter, item->rect(), kMark, snapshot.selected);
    if (snapshot.cluster > 0) DrawClusterNumber(painter, item->rect(), kMark, snapshot.cluster);
}

void SnapshotPage::ClickAt(QPoint viewportPoint, Qt::MouseButton button) {
    list_.Click(viewportPoint, button == Qt::LeftButton ? browser::PadButton::Left : browser::PadButton::Right);
}

bool SnapshotPage::ViewportKey(const QKeyEvent& press) {
    if (press.modifiers() != Qt::NoModifier && press.modifiers() != Qt::KeypadModifier) return false;
    if (press.key() == Qt::Key_Space) {
        if (list_.ToggleFocused()) Place();
        return true;
    }
    const std::optional<browser::GridKey> gridKey = browser::GridKeyOf(press.key());
    if (!gridKey) return false;
    if (list_.Key(*gridKey)) Place();
    return true;
}

bool SnapshotPage::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::FocusIn:
        NoteInput();
        break;
    default:
        break;
    }
    return ItemPad::eventFilter(watched, event);
}

void SnapshotPage::NoteInput() {
    if (onInput) onInput();
}

}  // namespace ui

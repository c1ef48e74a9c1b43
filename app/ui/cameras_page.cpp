#include "app/ui/cameras_page.h"

#include "app/camera/camera_list.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace ui {

namespace {

constexpr CameraListCommand kCommands[] = {CameraListCommand::Edit, CameraListCommand::Delete,
                                           CameraListCommand::MoveUp, CameraListCommand::MoveDown};
const QString kCommandTexts[] = {QStringLiteral("Редактировать..."), QStringLiteral("Удалить"),
                                 QStringLiteral("Поднять выше"), QStringLiteral("Опустить ниже")};
const QString kCommandNames[] = {QStringLiteral("edit"), QStringLiteral("delete"), QStringLiteral("moveUp"),
                                 QStringLiteral("moveDown")};

// The camera type's mark beside the slot number.
QIcon CameraTypeIcon(int type) {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(type == camera::kIpCamera ? QColor(0, 90, 170) : QColor(0, 130, 60));
    QFont font = painter.font();
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.drawRect(0, 2, 15, 11);
    painter.drawText(QRect(0, 2, 16, 12), Qt::AlignCenter,
                     type == camera::kIpCamera ? QStringLiteral("IP") : QStringLiteral("W"));
    return QIcon(picture);
}

// A limited number field: its text goes to `set`; a replacement the rule asks for is shown.
QLineEdit* LimitField(QWidget* parent, const QString& name, int digits, int value,
                      std::function<NumberEntry(const QString&)> set) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(name);
    edit->setMaxLength(digits);
    edit->setValidator(new QIntValidator(0, 999, edit));
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, set = std::move(set)](const QString& text) {
        const NumberEntry entry = set(text);
        if (entry.shown) edit->setText(*entry.shown);
    });
    return edit;
}

}  // namespace

CamerasPage::CamerasPage(settings::SettingsState& copy, CameraDialogServices services, QWidget* parent)
    : QWidget(parent), copy_(copy), rules_(copy), services_(std::move(services)) {
    setObjectName(QStringLiteral("CamerasPage"));
    setWindowTitle(QStringLiteral("Камеры"));
    auto* layout = new QVBoxLayout(this);
    auto* autoStart = new QCheckBox(QStringLiteral("Автоматически стартовать камеру, открытую последней"), this);
    autoStart->setObjectName(QStringLiteral("AutoStartLastCamera"));
    autoStart->setChecked(copy_.camerasExt.AutoStartLastCamera != 0);
    connect(autoStart, &QCheckBox::toggled, this, [this](bool on) { rules_.SetAutoStartLastCamera(on); });
    layout->addWidget(autoStart);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("CameraList"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({QString(), QStringLiteral("Имя"), QStringLiteral("Параметры")});
    for (int column = 0; column < 3; ++column) {
        list_->setColumnWidth(column, camera::kCameraListColumnWidths[column]);
    }
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(list_);

    menu_ = new QMenu(this);
    auto* commandRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        const CameraListCommand command = kCommands[i];
        buttons_[i] = new QPushButton(kCommandTexts[i], this);
        buttons_[i]->setObjectName(kCommandNames[i]);
        buttons_[i]->setAutoDefault(false);
        connect(buttons_[i], &QPushButton::clicked, this, [this, command] { Run(command); });
        commandRow->addWidget(buttons_[i]);
        menuActions_[i] = menu_->addAction(kCommandTexts[i], this, [this, command] { Run(command); });
    }
    commandRow->addStretch();
    layout->addLayout(commandRow);
    connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        RefreshCommands();
        menu_->popup(list_->viewport()->mapToGlobal(at));
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { RefreshCommands(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Run(CameraListCommand::Edit); });
    AddCommandKey(CameraListCommand::Edit, QKeySequence(Qt::Key_Space));
    AddCommandKey(CameraListCommand::Edit, QKeySequence(Qt::Key_Insert));
    AddCommandKey(CameraListCommand::Delete, QKeySequence(Qt::Key_Delete));
    AddCommandKey(CameraListCommand::MoveUp, QKeySequence(Qt::ALT | Qt::Key_Up));
    AddCommandKey(CameraListCommand::MoveDown, QKeySequence(Qt::ALT | Qt::Key_Down));

    auto* limits = new QFormLayout;
    limits->addRow(QStringLiteral("Ожидание соединения с IP-камерой (сек):"),
                   LimitField(this, QStringLiteral("WaitConnectionTime"), CamerasPageRules::kWaitConnectionDigits,
                              copy_.camerasExt.WaitConnectionTime,
                              [this](const QString& text) { return rules_.SetWaitConnectionTime(text); }));
    limits->addRow(QStringLiteral("Ожидание кадра IP-камеры (сек):"),
                   LimitField(this, QStringLiteral("WaitNewFrameTime"), CamerasPageRules::kWaitNewFrameDigits,
                              copy_.camerasExt.WaitNewFrameTime,
                              [this](const QString& text) { return rules_.SetWaitNewFrameTime(text); }));
    layout->addLayout(limits);
    FillList(-1);
}

void CamerasPage::AddCommandKey(CameraListCommand command, const QKeySequence& key) {
    auto* shortcut = new QShortcut(key, list_);
    shortcut->setContext(Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, command] { Run(command); });
}

int CamerasPage::SelectedSlot() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

void CamerasPage::Run(CameraListCommand command) {
    const int slot = SelectedSlot();
    if (!rules_.Allowed(command, slot)) {
        return;
    }
    if (command == CameraListCommand::Edit) {
        EditCamera(slot);
        return;
    }
    FillList(rules_.Run(command, slot));
}

void CamerasPage::EditCamera(int slot) {
    CameraWizard wizard(rules_.CameraForEdit(slot), copy_.camerasExt, services_, this);
    if (wizard.exec() == QDialog::Accepted && rules_.StoreCamera(slot, wizard.Result())) {
        FillList(slot);
    }
}

void CamerasPage::FillList(int selectSlot) {
    list_->clear();
    const settings::CameraList& cameras = copy_.cameraList;
    for (int slot = 0; slot < settings::kMaxCameras; ++slot) {
        auto* item = new QTreeWidgetItem(list_);
        for (int column = 0; column < 3; ++column) {
            item->setText(column, camera::CameraListText(cameras, slot, column));
        }
        const int icon = camera::CameraListIcon(cameras, slot);
        if (icon >= 0) {
            item->setIcon(0, CameraTypeIcon(icon));
        }
    }
    if (selectSlot >= 0 && selectSlot < settings::kMaxCameras) {
        list_->setCurrentItem(list_->topLevelItem(selectSlot));
        list_->topLevelItem(selectSlot)->setSelected(true);
    }
    RefreshCommands();
}

void CamerasPage::RefreshCommands() {
    const int slot = SelectedSlot();
    for (int i = 0; i < 4; ++i) {
        const bool allowed = rules_.Allowed(kCommands[i], slot);
        buttons_[i]->setEnabled(allowed);
        menuActions_[i]->setEnabled(allowed);
    }
}

}  // namespace ui

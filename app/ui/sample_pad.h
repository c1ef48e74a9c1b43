#pragma once
// Purpose: the sample pad of the person card ("Образцы"): a grid of 160x160 cells with
//          selection marks and cluster numbers, its toolbar, keys and item menu.
//          browser::SamplePadModel decides the layout, the selection and what is offered; the
//          owner runs the commands on the database and reports back through the Show/Add/
//          Remove/SetClusterLabels calls.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership) and the model; not the sample
//       clipboard, which the owner keeps.

#include "app/browser/sample_pad_model.h"
#include "app/ui/image_file_dialog.h"
#include "app/ui/item_pad.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QScrollBar;
class QToolButton;

namespace ui {

class SamplePad final : public ItemPad {
public:
    explicit SamplePad(QWidget* parent = nullptr);

    // The commands, run by the owner. The cluster labels are cleared before an add or the
    // clusters command is passed on. Delete and cut get the samples they are about.
    std::function<void(const QString& path)> onAddFromFile;
    std::function<void()> onAddFromClipboard;
    std::function<void(const browser::SampleTarget& target)> onDelete;
    std::function<void(const browser::SampleTarget& target)> onCut;
    std::function<void()> onPaste;
    std::function<void()> onClusters;

    // The browser's sample clipboard, which decides whether paste is offered; it must outlive
    // the pad or be set back to nothing. Call RefreshCommands after it changed.
    void SetSampleClipboard(const database::SampleClipboard* clipboard);
    void RefreshCommands() override;

    void ShowSamples(int32_t personId, const std::vector<database::StoredSample>& samples);
    void ShowNoPerson();
    void AddSample(int32_t sampleId, const QByteArray& image, const recognition::FaceDescriptor& descriptor);
    void RemoveSamples(const std::vector<int32_t>& sampleIds);
    // One label per descriptor of Model().Descriptors(), as database::ShowSampleClusters gives them.
    void SetClusterLabels(const std::vector<int>& labels);

    const browser::SamplePadModel& Model() const { return model_; }

private:
    QAction* AddCommand(const QString& text, const QKeySequence& shortcut, std::function<void()> run);
    void Place() override;
    void PaintItem(QWidget* item, int index) override;
    void ClickAt(QPoint viewportPoint, Qt::MouseButton button) override;
    bool ViewportKey(const QKeyEvent& press) override;
    bool HandleKey(int key);
    void RunWithTarget(const std::function<void(const browser::SampleTarget&)>& command);
    void ClearClustersThen(const std::function<void()>& command);

    browser::SamplePadModel model_;
    const database::SampleClipboard* clipboard_ = nullptr;
    PictureAddActions add_;
    QToolButton* addButton_ = nullptr;
    // Toolbar buttons and item-menu entries of the same command share its enabling.
    struct CommandActions {
        QAction* button = nullptr;
        QAction* item = nullptr;
        void SetEnabled(bool enabled) const;
    };
    CommandActions remove_;
    CommandActions cut_;
    CommandActions paste_;
    CommandActions clusters_;
    QAction* selectAll_ = nullptr;
    QAction* clearAll_ = nullptr;
};

}  // namespace ui

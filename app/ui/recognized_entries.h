#pragma once
// Purpose: the recognized-persons page without a display: the texts and colours of an entry,
//          where its parts are drawn inside the 160-pixel item, and which entry is selected
//          (kept by entry, so a new entry at the top does not move the selection to another
//          person). The page widget paints what these give and forwards the user's choices.
// Threads: the user-interface thread.
// Owns: nothing; the list belongs to the main frame.

#include "app/recognition/recognized_list.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <algorithm>
#include <array>

namespace ui {

// The texts of one entry, each empty when the entry does not show it.
struct RecognizedEntryTexts {
    // "hh:mm:ss\t<confidence>%\t<surname>[ forename][ second name][ (alias)]"
    QString headline;
    // "ID: <id>\tПол: <gender>[\t\tДата рождения: dd.mm.yyyy][\t\tВнешний ключ: <key>]"
    QString identity;
    // Only once the person information dialog brought the details.
    QString address;
    QString contacts;
    QString description;
};

RecognizedEntryTexts EntryTexts(const recognition::RecognizedListItem& item);

// The strip colour of a watch list: green, red, otherwise gray.
QColor ListColour(uint32_t listNumber);
// The line under the headline.
inline const QColor kHeadlineRuleColour{160, 160, 160};

constexpr int kEntryHeight = 160;

// Where the parts of an entry go inside its item rectangle.
struct EntryLayout {
    QRect strip;                     // filled with the list colour
    QPoint thumbnail;                // top-left of the thumbnail, drawn in its own size
    QRect text;                      // the text area
    std::array<QRect, 3> selection;  // the nested selection frames, outermost first
};

EntryLayout LayOutEntry(const QRect& item);

// Where the text lines go inside the text area, top to bottom, given the heights of the
// headline font's line and the status-bar font's line.
struct EntryLines {
    int headlineTop = 0;
    int ruleY = 0;  // the gray line under the headline
    int identityTop = 0;
    // The first detail line; each following one starts 4 pixels below the previous.
    int detailsTop = 0;
};

EntryLines LayOutEntryLines(int textTop, int headlineHeight, int lineHeight);
constexpr int kDetailLineGap = 4;

// Tabs are expanded to stops every 8 average character widths: the offset from the line's
// start at which the text after a tab at `offset` begins.
inline int NextTabStop(int offset, int averageCharWidth) {
    const int stop = 8 * std::max(averageCharWidth, 1);
    return (offset / stop + 1) * stop;
}

// The page's list with its selection: the commands are offered only with a selected entry.
class RecognizedPageModel {
public:
    explicit RecognizedPageModel(recognition::RecognizedPersonsList& list) : list_(list) {}

    recognition::RecognizedPersonsList& List() const { return list_; }
    size_t Count() const { return list_.Size(); }
    const recognition::RecognizedListItem& At(size_t row) const { return list_.At(row); }

    // -1 or a row beyond the list clears the selection.
    void Select(int row);
    // The selected entry's row, or -1 (also when the entry has meanwhile left the list).
    int SelectedRow() const { return list_.RowOf(selected_); }
    const recognition::RecognizedListItem* Selected() const;
    recognition::RecognizedEntryRef SelectedRef() const { return selected_; }

    bool CanShowInfo() const { return Selected() != nullptr; }
    bool CanRemove() const { return Selected() != nullptr; }

    // "Удалить": removes and frees the selected entry and clears the selection. False when
    // nothing was selected. A subject that pointed at it finds it gone by its serial.
    bool RemoveSelected();

private:
    recognition::RecognizedPersonsList& list_;
    recognition::RecognizedEntryRef selected_;
};

}  // namespace ui

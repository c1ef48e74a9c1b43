#pragma once
// Purpose: a date picker that can hold no date: a check box gives the date, clearing it leaves
//          none (QDateEdit alone always shows one).
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership).

#include <QDate>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QDateEdit;

namespace ui {

class CardDateEdit final : public QWidget {
public:
    explicit CardDateEdit(QWidget* parent = nullptr);

    // Shows the date without calling onChanged.
    void SetDate(std::optional<QDate> date);
    std::optional<QDate> Date() const;

    // Every change the operator makes.
    std::function<void(std::optional<QDate>)> onChanged;

private:
    void ShowState();

    QCheckBox* hasDate_ = nullptr;
    QDateEdit* date_ = nullptr;
    bool setting_ = false;
};

}  // namespace ui

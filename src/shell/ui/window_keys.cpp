#include "shell/ui/window_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <algorithm>
#include <QWidget>

namespace kyt {

KeyHabits* KeyHabits::install(QWidget* window, WindowKeys keys)
{
    return new KeyHabits(window, std::move(keys));
}

KeyHabits::KeyHabits(QWidget* window, WindowKeys keys) : QObject(window), window_(window), keys_(std::move(keys))
{
    if (auto* button = qobject_cast<QPushButton*>(keys_.defaultButton))
        button->setDefault(true);  // drawn as the one Enter presses
    window_->installEventFilter(this);
    for (const auto& [box, button] : keys_.boxButtons)
        box->installEventFilter(this);
}

bool KeyHabits::pressEnter()
{
    const auto usable = [](QAbstractButton* button) { return button && button->isEnabled() && button->isVisible(); };
    QWidget* focus = window_->focusWidget();
    // A push button that has the focus is the one Enter presses, as on every desktop.
    if (auto* button = qobject_cast<QPushButton*>(focus); usable(button)) {
        button->click();
        return true;
    }
    if (usable(keys_.defaultButton))
        keys_.defaultButton->click();
    return true;
}

bool KeyHabits::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_) {
        // A box with a button of its own: Enter there presses that button, and nothing else.
        auto own = keys_.boxButtons.find(static_cast<QWidget*>(watched));
        if (own == keys_.boxButtons.end() || event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        if (own->second->isEnabled())
            own->second->click();
        return true;
    }
    if (event->type() == QEvent::Show && keys_.firstFocus && keys_.firstFocus->isEnabled()) {
        keys_.firstFocus->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    // Keys reach the window only when the control that had them did not use them (a line edit's
    // Enter, a list's Escape), so a dropped-down list or a control's own Enter goes first.
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return pressEnter();
    case Qt::Key_Escape:
        event->accept();
        if (keys_.cancelButton && keys_.cancelButton->isEnabled())
            keys_.cancelButton->click();
        else if (keys_.escape)
            keys_.escape();
        return true;
    default:
        return false;
    }
}

void TrimmedBox(QLineEdit* box)
{
    const int limit = box->maxLength();
    box->setMaxLength(limit + 64);  // room for the blanks of a pasted text, which go at once
    QObject::connect(box, &QLineEdit::textEdited, box, [box, limit](const QString& text) {
        const QString kept = text.trimmed().left(limit);
        if (kept == text)
            return;
        const int leading = static_cast<int>(text.size() - QString(text).remove(QRegularExpression("^\\s+")).size());
        const int cursor = std::clamp(box->cursorPosition() - leading, 0, static_cast<int>(kept.size()));
        box->setText(kept);
        box->setCursorPosition(cursor);
    });
}

void KeepPlaceWhenHidden(std::initializer_list<QWidget*> widgets)
{
    for (QWidget* widget : widgets) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
}

void FitColumnsToContent(QTableView* grid)
{
    const int widest = std::max(160, grid->viewport()->width() / 2);
    grid->resizeColumnsToContents();
    for (int column = 0; column < grid->model()->columnCount(); ++column)
        grid->setColumnWidth(column, std::min(grid->columnWidth(column), widest));
}

}  // namespace kyt

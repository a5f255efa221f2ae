#pragma once
// The keyboard habits every window shares: it opens with the focus in its first box, Enter presses its
// default button (or the focused button, or the button that belongs to the box being typed in), and
// Escape presses its Close or Cancel button.

#include <QObject>
#include <QPointer>
#include <functional>
#include <initializer_list>
#include <map>

class QAbstractButton;
class QLineEdit;
class QTableView;
class QWidget;

namespace kyt {

struct WindowKeys {
    QWidget* firstFocus = nullptr;
    QAbstractButton* defaultButton = nullptr;  // Enter
    QAbstractButton* cancelButton = nullptr;   // Escape
    std::function<void()> escape{};            // Escape in a window without a Close button
    // Enter in one of these boxes presses its own button instead of the default one.
    std::map<QWidget*, QAbstractButton*> boxButtons{};
};

class KeyHabits : public QObject {
    Q_OBJECT

public:
    // Installs the habits on `window`; they live as long as it does.
    static KeyHabits* install(QWidget* window, WindowKeys keys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyHabits(QWidget* window, WindowKeys keys);
    bool pressEnter();

    QWidget* window_;
    WindowKeys keys_;
};

// A box for a code without blanks (a USN, a batch, a branch code): blanks typed or pasted around it are
// dropped, so its character limit (the maxLength it has) counts the code's own characters only.
void TrimmedBox(QLineEdit* box);

// Controls that appear and disappear keep their place in the layout while hidden, so that nothing else moves.
void KeepPlaceWhenHidden(std::initializer_list<QWidget*> widgets);

// Each column of `grid` as wide as its widest value or heading (cell widgets included), but no column
// wider than half the grid, so that one long text does not push the others out of sight.
void FitColumnsToContent(QTableView* grid);

}  // namespace kyt

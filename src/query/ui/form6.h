#pragma once
// The advanced save options window: which columns of the shown result are saved, in which order,
// tables or delimited lines, and whether a page title is written. OK hands an accepted choice to the
// results window's fields, which saving reads. The window keeps nothing between two openings.

#include <QWidget>
#include <cstdint>
#include <memory>

#include "shell/control.h"

class QCheckBox;
class QLineEdit;

namespace Ui {
class Form6;
}

namespace kyt {

class Form4;

class Form6 : public QWidget {
    Q_OBJECT

public:
    // The results window's "Advanced Save to file options...": a fresh window on the results window's
    // current choice, shown not modal. An options window still open is closed first.
    static Form6* open(Control& control, Form4& results);

    Form6(Control& control, Form4& results, QWidget* parent = nullptr);
    ~Form6() override;

    // Row i's tick box and sequence box (the control arrays Check1 and Text1).
    QCheckBox* Check1(int i) const;
    QLineEdit* Text1(int i) const;

private:
    void Form_Load();
    void showChoice();
    void Check1_Click();
    void Text1_Change(int index);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::Form6> ui;
    Control& control_;
    Form4& results_;
};

// Takes the column choice of `options` over into the results window: 0 when accepted; -21 (no column
// ticked, or a number outside 0 to n - 1) or -22 (a number given twice) when refused, after telling
// the user and putting the focus where the correction is due. A refused choice changes nothing.
int16_t setColumnSelections(Form4& results, Form6& options, Control& control);

}  // namespace kyt

#pragma once
// The extraction window: the officer picks the folder of résumés, sees a preview of what it holds and
// starts the run. During and after the run it is hidden; the status window leads on.

#include <QPointer>
#include <QWidget>
#include <memory>

#include "shell/control.h"

namespace Ui {
class Form1;
}

namespace kyt {

class FolderList;
class Form2;

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Control& control, QWidget* parent = nullptr);
    ~Form1() override;

    // Shows the extraction window, making one when none is loaded. It and the status windows it makes
    // join the program's window registry, so that closing the main menu closes them.
    static Form1* open(Control& control);

    QString folder() const;
    Form2* statusWindow() const;  // the status window of the last run, while it is open

    void Drive1_Change(int index);
    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void goToFolder(const QString& path);
    void fillPreview();

    std::unique_ptr<Ui::Form1> ui;
    Control& control_;
    FolderList* folders_ = nullptr;
    QString drive_;
    QPointer<Form2> status_;
};

}  // namespace kyt

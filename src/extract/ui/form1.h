#pragma once
// The extraction window: the officer picks the folder of résumés, sees a preview of what it holds and
// starts the run. During and after the run it is hidden; the status window leads on.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "shell/control.h"

class QFileSystemModel;

namespace Ui {
class Form1;
}

namespace kyt {

class Form2;

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Control& control, QWidget* parent = nullptr);
    ~Form1() override;

    // Makes and shows a new extraction window whose status window's "<< Back" opens another one the same
    // way. `registerWindow` (may be empty) hands each new window to whoever closes windows at exit.
    static Form1* openNew(Control& control, std::function<void(QWidget*)> registerWindow = {});

    QString folder() const;
    Form2* statusWindow() const { return status_; }

    // Handed to the status window: how "<< Back" gets a fresh extraction window.
    std::function<void()> openExtractionWindow;
    // Handed every status window this window makes, so that the main menu can close it at exit.
    std::function<void(QWidget*)> registerWindow;

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
    QFileSystemModel* folders_;
    QString drive_;
    QPointer<Form2> status_;
};

}  // namespace kyt

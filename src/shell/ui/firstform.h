#pragma once
// The main menu. Its buttons open the task windows; closing it closes every task window in a fixed
// order, closes the database and writes the configuration back.

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "shell/control.h"

namespace Ui {
class FirstForm;
}

namespace kyt {

class FirstForm : public QWidget {
    Q_OBJECT

public:
    explicit FirstForm(Control& control, QWidget* parent = nullptr);
    ~FirstForm() override;

    // What a button opens: "OKButton" (extraction), "CancelButton" (query), "Command2" (résumé
    // generation, after the stored query condition is emptied), "Command3" (administration). A button
    // without an opener stays visible but disabled.
    void setOpener(const QString& buttonName, std::function<void()> opener);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();
    void Command2_Click();
    void Command3_Click();
    void Command1_Click();
    void ManualButton_Click();  // the user's manual, in the desktop's PDF viewer
    void Form_Unload();
    void open(const QString& buttonName);

    std::unique_ptr<Ui::FirstForm> ui;
    Control& control;
    std::map<QString, std::function<void()>> openers;
    bool unloaded = false;
};

}  // namespace kyt

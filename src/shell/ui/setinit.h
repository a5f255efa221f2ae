#pragma once
// The setup window: asks for the college code, the placement e-mail and the database (a file, or a
// database on a server), and writes a fresh Kyt.ini that takes effect at the next start.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "shell/control.h"

namespace Ui {
class setinit;
}

namespace kyt {

class setinit : public QWidget {
    Q_OBJECT

public:
    explicit setinit(Control& control, QWidget* parent = nullptr);
    ~setinit() override;

    // Asks for the database file; an empty answer means none was chosen. A file dialog unless replaced
    // (tests answer without a dialog).
    std::function<QString()> chooseDatabaseFile;

private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void optServer_Toggled(bool server);
    // The address names a database on a server that Kyt can open; the officer is told why not.
    bool serverReachable(const std::string& address);
    QString showFileDialog();
    void tell(const std::string& text, const std::string& title, MsgIcon icon);

    std::unique_ptr<Ui::setinit> ui;
    Control& control;
};

}  // namespace kyt

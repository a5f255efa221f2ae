#include "shell/ui/qt_message_service.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "shell/product.h"

namespace kyt {
namespace {

QMessageBox::Icon toQt(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton toQt(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::OK:
        break;
    }
    return QMessageBox::Ok;
}

}  // namespace

MsgAnswer QtMessageService::ask(const std::string& text, const std::string& title, MsgIcon icon,
                                MsgButtons buttons, MsgAnswer defaultAnswer)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(title.empty() ? std::string(kProductName) : title));
    // Texts carry runs of spaces and document contents; neither may be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    box.setIcon(toQt(icon));

    switch (buttons) {
    case MsgButtons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    const QMessageBox::StandardButton wanted = toQt(defaultAnswer);
    box.setDefaultButton(box.button(wanted) ? wanted : toQt(FirstAnswer(buttons)));

    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        break;
    }
    // Closing a box that has a Cancel or No button by its title bar answers that button; an OK box has
    // only one answer.
    if (buttons == MsgButtons::YesNo)
        return MsgAnswer::No;
    if (buttons == MsgButtons::OKCancel || buttons == MsgButtons::YesNoCancel)
        return MsgAnswer::Cancel;
    return MsgAnswer::OK;
}

std::optional<std::string> QtMessageService::askPassword(const std::string& address, const std::string& login)
{
    bool given = false;
    const QString password = QInputDialog::getText(
        QApplication::activeWindow(), QString::fromStdString(std::string(kProductName) + " - Login"),
        QString::fromStdString("Password of " + login + " for the database " + address + ":"), QLineEdit::Password,
        QString(), &given);
    if (!given)
        return std::nullopt;
    return password.toStdString();
}

}  // namespace kyt

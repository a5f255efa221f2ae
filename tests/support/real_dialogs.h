#pragma once
// Answers the real dialogs that the code under test opens (a QMessageBox shown by the window program's
// message service, a QFileDialog), as the officer would: wait for the dialog, then click its button.
// Queue the answers before the call that blocks; each answer waits for the next modal dialog (polling
// from inside the dialog's own event loop), records what it showed, and clicks the named button. A
// dialog without that button, or one that stays open after its button was clicked, fails the test and
// is hidden, so that a broken program fails instead of hanging. Header-only: only window tests link
// the widgets.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kyt::test {

// What one answered dialog showed (text, icon and buttons: a message box's).
struct SeenDialog {
    std::string title;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton answered = QMessageBox::NoButton;  // the button that closed a message box
};

class RealDialogs {
public:
    RealDialogs()
    {
        // The interval only sets how often the dialog's event loop looks; nothing waits on it.
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    }
    ~RealDialogs()
    {
        if (!answers_.empty())
            ADD_FAILURE() << answers_.size() << " dialog answer(s) never used: the dialog did not appear";
    }

    // The next dialog is a QMessageBox; click its standard button `button`.
    RealDialogs& click(QMessageBox::StandardButton button) { return queue({button, {}}); }
    // The next dialog is a QMessageBox: press Enter on it, which answers its default button.
    RealDialogs& pressEnter() { return queue({QMessageBox::NoButton, {}, {}, true}); }
    // The next dialog is a QFileDialog: type `path` into its file name field and click Open (or Save).
    RealDialogs& chooseFile(const QString& path) { return queue({QMessageBox::NoButton, path}); }
    // The same, once `ready` holds for the dialog (asked at every look until it does).
    RealDialogs& chooseFileWhen(const QString& path, std::function<bool(QFileDialog*)> ready)
    { return queue({QMessageBox::NoButton, path, std::move(ready)}); }

    bool allAnswered() const { return answers_.empty(); }
    const std::vector<SeenDialog>& seen() const { return seen_; }

private:
    struct Answer {
        QMessageBox::StandardButton button;  // NoButton: a file dialog answered with `path`
        QString path;
        std::function<bool(QFileDialog*)> ready = {};
        bool enter = false;
    };

    RealDialogs& queue(Answer answer)
    {
        answers_.push_back(std::move(answer));
        timer_.start();
        return *this;
    }

    // The button the answer names in `dialog` (a file dialog's Open or Save), or null when it has none.
    static QAbstractButton* buttonFor(QDialog* dialog, const Answer& answer)
    {
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            return box->button(answer.button);
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!qobject_cast<QFileDialog*>(dialog) || answer.button != QMessageBox::NoButton || !buttons || !name)
            return nullptr;
        name->setText(answer.path);
        QAbstractButton* open = buttons->button(QDialogButtonBox::Open);
        return open ? open : buttons->button(QDialogButtonBox::Save);
    }

    void poll()
    {
        QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (auto* files = qobject_cast<QFileDialog*>(dialog); files && !answers_.empty() && answers_.front().ready)
            if (!answers_.front().ready(files))
                return;
        if (dialog && !answers_.empty()) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            seen_.push_back({dialog->windowTitle().toStdString(), box ? box->text().toStdString() : "",
                             box ? box->icon() : QMessageBox::NoIcon,
                             box ? box->standardButtons() : QMessageBox::StandardButtons{}});
            const Answer answer = answers_.front();
            answers_.pop_front();
            QAbstractButton* button = answer.enter ? nullptr : buttonFor(dialog, answer);
            if (answer.enter)
                QTest::keyClick(dialog, Qt::Key_Return);
            else if (button)
                button->click();  // the dialog closes synchronously, or not at all
            if (dialog && box)
                seen_.back().answered = box->standardButton(box->clickedButton());
            if (dialog && dialog->isVisible()) {
                ADD_FAILURE() << dialog->metaObject()->className() << " \"" << seen_.back().title << "\" ("
                              << seen_.back().text << ") has not the button asked for, or stayed open after it";
                dialog->hide();  // ends its event loop
            }
        }
        if (answers_.empty())
            timer_.stop();
    }

    QTimer timer_;
    std::deque<Answer> answers_;
    std::vector<SeenDialog> seen_;
};

}  // namespace kyt::test

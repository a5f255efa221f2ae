#pragma once
// Answers the real dialogs that the code under test opens (a QMessageBox shown by the window program's
// message service, a QFileDialog), as the officer would: wait for the dialog, then click its button.
//
// Queue the answers before the call that blocks; each answer waits for the next modal dialog to appear
// (polling from inside the dialog's own event loop), records what it showed, and clicks the named
// button. A dialog without that button, of the wrong kind, or one that stays open after its button was
// clicked fails the test and is hidden, so that a broken program fails instead of hanging.
//
//     kyt::QtMessageService shown;            // shell/ui/qt_message_service.h
//     control.session.Messages = &shown;
//     test::RealDialogs dialogs;
//     dialogs.click(QMessageBox::No);
//     window->findChild<QPushButton*>("Command1")->click();   // blocks in the message box until answered
//     ASSERT_TRUE(dialogs.allAnswered());
//     EXPECT_EQ(dialogs.seen().at(0).title, "Please Intervene");
//
// Header-only: only window tests link the widgets.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <string>
#include <vector>

namespace kyt::test {

// What one answered dialog showed.
struct SeenDialog {
    std::string kind;  // "QMessageBox", "QFileDialog" or the dialog's class name
    std::string title;
    std::string text;  // a message box's text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;  // a message box's standard buttons
};

class RealDialogs {
public:
    RealDialogs()
    {
        // The interval only sets how often the dialog's event loop looks; nothing waits on it.
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    }
    RealDialogs(const RealDialogs&) = delete;
    RealDialogs& operator=(const RealDialogs&) = delete;
    ~RealDialogs()
    {
        timer_.stop();
        if (!answers_.empty())
            ADD_FAILURE() << answers_.size() << " dialog answer(s) never used: the dialog did not appear";
    }

    // The next dialog is a QMessageBox; click its standard button `button`.
    RealDialogs& click(QMessageBox::StandardButton button) { return queue({button, {}}); }
    // The next dialog is a QFileDialog: type `path` into its file name field and click Open (or Save).
    RealDialogs& chooseFile(const QString& path) { return queue({QMessageBox::NoButton, path}); }

    bool allAnswered() const { return answers_.empty(); }
    const std::vector<SeenDialog>& seen() const { return seen_; }

private:
    struct Answer {
        QMessageBox::StandardButton button;  // NoButton: a file dialog answered with `path`
        QString path;
    };

    RealDialogs& queue(Answer answer)
    {
        answers_.push_back(std::move(answer));
        timer_.start();
        return *this;
    }

    static QDialog* modalDialog()
    {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            return dialog;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (dialog && dialog->isVisible() && dialog->isModal())
                return dialog;
        }
        return nullptr;
    }

    static SeenDialog describe(QDialog* dialog)
    {
        SeenDialog seen;
        seen.kind = dialog->metaObject()->className();
        seen.title = dialog->windowTitle().toStdString();
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            seen.text = box->text().toStdString();
            seen.icon = box->icon();
            seen.buttons = box->standardButtons();
        }
        return seen;
    }

    // The button the answer names, or null (with the reason in `why`).
    static QAbstractButton* buttonFor(QDialog* dialog, const Answer& answer, std::string& why)
    {
        if (answer.button != QMessageBox::NoButton) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            QAbstractButton* button = box ? box->button(answer.button) : nullptr;
            if (!button)
                why = box ? "the message box has no such standard button" : "expected a QMessageBox";
            return button;
        }
        auto* files = qobject_cast<QFileDialog*>(dialog);
        auto* buttons = files ? files->findChild<QDialogButtonBox*>("buttonBox") : nullptr;
        auto* name = files ? files->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!buttons || !name) {
            why = "expected a QFileDialog with a file name field";
            return nullptr;
        }
        name->setText(answer.path);
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                return button;
        }
        why = "the file dialog has no Open or Save button";
        return nullptr;
    }

    void poll()
    {
        QDialog* dialog = answers_.empty() ? nullptr : modalDialog();
        if (dialog) {
            const Answer answer = answers_.front();
            answers_.pop_front();
            seen_.push_back(describe(dialog));
            std::string why;
            QPointer<QDialog> guard(dialog);
            if (QAbstractButton* button = buttonFor(dialog, answer, why)) {
                button->click();  // the dialog closes synchronously, or not at all
                if (guard && guard->isVisible()) {
                    ADD_FAILURE() << seen_.back().kind << " \"" << seen_.back().title
                                  << "\" stayed open after its button was clicked";
                    guard->hide();  // ends its event loop
                }
            } else {
                ADD_FAILURE() << "cannot answer " << seen_.back().kind << " \"" << seen_.back().title << "\" ("
                              << seen_.back().text << "): " << why;
                dialog->hide();
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

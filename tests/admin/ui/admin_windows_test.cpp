// The administration and marks windows, driven through their controls.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "admin/admin_fixture.h"
#include "admin/ui/form5.h"
#include "admin/ui/form7.h"
#include "query/ui/form3.h"
#include "shell/ui/firstform.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt::test {
namespace {

class AdminWindows : public AdminTest {
protected:
    AdminWindows()
    {
        menu = std::make_unique<FirstForm>(setup.control);
        menu->setOpener("Command3", [this] { Form5::open(setup.control); });
        click(menu.get(), "Command3");
        form5 = qobject_cast<Form5*>(findWindow(setup.control, "Form5"));
    }
    ~AdminWindows() override
    {
        Form5::branchesChanged = nullptr;
        setup.control.session.Windows.destroyAll();
    }
    void type(QWidget* window, const char* box, const QString& text) { control<QLineEdit>(window, box)->setText(text); }

    std::unique_ptr<FirstForm> menu;
    Form5* form5 = nullptr;
};

TEST_F(AdminWindows, DeleteRecordAnsweredThroughTheRealQuestion)
{
    student("1QP01CS007");
    ASSERT_NE(form5, nullptr);
    QtMessageService shown;
    setup.control.session.Messages = &shown;
    RealDialogs dialogs;
    dialogs.click(QMessageBox::Yes).click(QMessageBox::Ok);
    type(form5, "Text1", "1qp01cs7");
    click(form5, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(dialogs.seen().at(1).text, "The record was deleted successfully");
    EXPECT_EQ(students(), 0);
}

TEST_F(AdminWindows, BranchBoxesRefuseWithFocusAndChangesReachTheQueryWindow)
{
    Form3* query = Form3::open(setup.control);
    int reloads = 0;
    Form5::branchesChanged = [&] {  // as the window program wires it
        ++reloads;
        query->reloadBranches();
    };
    const auto offered = [&] {
        QStringList codes;
        for (int i = 0; i < control<QComboBox>(query, "Combo1_0")->count(); ++i)
            codes << control<QComboBox>(query, "Combo1_0")->itemText(i);
        return codes;
    };
    click(form5, "Command6");
    EXPECT_EQ(form5->focusWidget(), control<QLineEdit>(form5, "Text3"));
    type(form5, "Text3", "w's--");  // the box holds three characters
    click(form5, "Command6");
    EXPECT_EQ(form5->focusWidget(), control<QLineEdit>(form5, "Text4"));
    type(form5, "Text4", QString::fromUtf8("Women's Studies & Design 設計 %_ ") + QString(300, 'x'));
    click(form5, "Command6");
    EXPECT_TRUE(offered().contains("W'S")) << offered().join(",").toStdString();
    type(form5, "Text3", "ec");
    click(form5, "Command7");
    EXPECT_EQ(reloads, 2);
    EXPECT_FALSE(offered().contains("EC"));
    EXPECT_EQ(setup.rows("SELECT BranchCode, length(Branch) FROM Branch WHERE BranchCode NOT IN ('CS', 'MCA')"),
              (Table{{"W'S", "255"}}));
}

TEST_F(AdminWindows, MarksWindowRetrievesAndUpdatesThroughItsControls)
{
    student("1QP01CS007", {{5, 600, 1000}, {6, 700, 1000}});
    click(form5, "Command5");
    auto* form7 = qobject_cast<Form7*>(findWindow(setup.control, "Form7"));
    ASSERT_NE(form7, nullptr);
    type(form7, "Text1", "1qp01cs007");
    control<QComboBox>(form7, "Combo1")->setCurrentIndex(2);  // a valid USN: choosing a semester retrieves it
    EXPECT_EQ(control<QLabel>(form7, "Label2")->text(), "Name : Student 1QP01CS007");
    EXPECT_EQ(control<QLineEdit>(form7, "Text2")->text(), "600");
    EXPECT_FALSE(control<QLabel>(form7, "Label8")->isVisibleTo(form7));

    type(form7, "Text4", "");
    click(form7, "Command1");
    EXPECT_EQ(form7->focusWidget(), control<QLineEdit>(form7, "Text4"));

    QtMessageService shown;
    setup.control.session.Messages = &shown;
    type(form7, "Text2", "650");
    type(form7, "Text4", "Jan '05");
    RealDialogs dialogs;
    dialogs.click(QMessageBox::Yes);  // verify first: nothing written
    click(form7, "Command1");
    EXPECT_EQ(setup.rows("SELECT obtained FROM Marks WHERE education_level = 5"), Table{{"600"}});
    dialogs.click(QMessageBox::Ok);  // replaced without asking again
    click(form7, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(dialogs.seen().at(1).text, " Update successful ");
    EXPECT_EQ(setup.rows("SELECT obtained, PassingYear FROM Marks WHERE education_level = 5"), (Table{{"650", "Jan '05"}}));
    setup.control.session.Messages = &messages;

    control<QComboBox>(form7, "Combo1")->setCurrentIndex(7);
    EXPECT_EQ(control<QLabel>(form7, "Label8")->text(), "No records retrived for semester 8");
    EXPECT_TRUE(control<QLabel>(form7, "Label8")->isVisibleTo(form7));
    EXPECT_EQ(control<QLineEdit>(form7, "Text3")->text(), "");
    type(form7, "Text1", "1QP01CS00");
    EXPECT_EQ(control<QLabel>(form7, "Label2")->text(), "Name : ");
    EXPECT_EQ(control<QLineEdit>(form7, "Text2")->text(), "");
    keyClick(control<QLineEdit>(form7, "Text1"), Qt::Key_Return);
    EXPECT_EQ(messages.last().text.rfind("The USN : 1QP01CS00 does not exist in the database", 0), 0u);
}

}  // namespace
}  // namespace kyt::test

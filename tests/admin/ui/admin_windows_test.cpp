// The administration and marks windows, driven through their controls.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "admin/admin_fixture.h"
#include "admin/ui/form5.h"
#include "admin/ui/form7.h"
#include "query/ui/form3.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt::test {
namespace {

class AdminWindows : public AdminTest {
protected:
    ~AdminWindows() override
    {
        Form5::branchesChanged = nullptr;
        setup.control.session.Windows.destroyAll();
    }
    void type(QWidget* window, const char* box, const QString& text) { control<QLineEdit>(window, box)->setText(text); }
};

// Each window reaches its procedures with what its boxes say, puts the focus on the box a refusal names,
// shows the result, and asks its questions in real message boxes.
TEST_F(AdminWindows, AdministrationAndMarksWindowsWorkThroughTheirControls)
{
    student("1QP01CS007", {{5, 600, 1000}});
    Form5* form5 = Form5::open(setup.control);
    Form3* query = Form3::open(setup.control);
    Form5::branchesChanged = [&] { query->reloadBranches(); };  // as the window program wires it
    type(form5, "Text4", "Women's Studies");
    click(form5, "Command6");
    EXPECT_EQ(form5->focusWidget(), control<QLineEdit>(form5, "Text3"));
    type(form5, "Text3", "w's");
    click(form5, "Command6");
    EXPECT_NE(control<QComboBox>(query, "Combo1_0")->findText("W'S"), -1);
    type(form5, "Text3", "ec");
    click(form5, "Command7");
    EXPECT_EQ(control<QComboBox>(query, "Combo1_0")->findText("EC"), -1);

    click(form5, "Command5");
    auto* form7 = qobject_cast<Form7*>(findWindow(setup.control, "Form7"));
    ASSERT_NE(form7, nullptr);
    type(form7, "Text1", "1qp01cs007");
    control<QComboBox>(form7, "Combo1")->setCurrentIndex(2);  // a valid USN: choosing a semester retrieves it
    EXPECT_EQ(control<QLabel>(form7, "Label2")->text(), "Name : Student 1QP01CS007");
    type(form7, "Text4", "");
    click(form7, "Command1");
    EXPECT_EQ(form7->focusWidget(), control<QLineEdit>(form7, "Text4"));
    keyClick(control<QLineEdit>(form7, "Text1"), Qt::Key_Return);
    EXPECT_EQ(control<QLineEdit>(form7, "Text4")->text(), "2001");

    QtMessageService shown;
    setup.control.session.Messages = &shown;
    RealDialogs dialogs;
    // Verify first, told nothing was saved; then replaced without a question.
    dialogs.click(QMessageBox::Yes).click(QMessageBox::Ok).click(QMessageBox::Ok);
    type(form7, "Text2", "650");
    click(form7, "Command1");
    click(form7, "Command1");
    EXPECT_EQ(setup.rows("SELECT obtained FROM Marks"), Table{{"650"}});
    dialogs.click(QMessageBox::Yes).click(QMessageBox::Ok);
    type(form5, "Text1", "1qp01cs7");
    click(form5, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(students(), 0);

    setup.control.session.Messages = &messages;
    student("1QP01MCA07", {{4, 600, 1000}});
    type(form7, "Text1", "1qp01mca07");
    control<QComboBox>(form7, "Combo1")->setCurrentIndex(6);  // semester 7: an MCA student has six
    click(form7, "Command1");
    EXPECT_EQ(messages.last().text, "Semester must be a whole number from 1 to 6 for an MCA student");
    EXPECT_EQ(form7->focusWidget(), control<QComboBox>(form7, "Combo1"));
}

}  // namespace
}  // namespace kyt::test

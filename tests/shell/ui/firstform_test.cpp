#include <QLabel>
#include <QPushButton>

#include "shell/ui/firstform.h"
#include "support/window_test.h"

namespace kyt {
namespace {

using test::click;
using test::control;

class MainMenu : public test::WindowTest {
protected:
    MainMenu() { state.session.AppTitle = "Kyt v2.8"; }
};

struct Caption {
    const char* button;
    const char* text;
    const char* toolTip;
};

TEST_F(MainMenu, ButtonsCarryTheirCaptionsAndToolTips)
{
    FirstForm menu(state);
    const Caption captions[] = {
        {"OKButton", "Extract  R\u00e9sum\u00e9s", "To extract student r\u00e9sum\u00e9s into the data base"},
        {"CancelButton", "Query  r\u00e9sum\u00e9 database",
         "To select students matching certain criteria and generate their r\u00e9sum\u00e9s and other features"},
        {"Command2", "Generate all r\u00e9sum\u00e9s", ""},
        {"Command3", "Administration", "Remove and update student records."},
        {"Command1", "Exit Kyt", ""},
    };
    for (const Caption& c : captions) {
        auto* button = control<QPushButton>(&menu, c.button);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->text().toStdString(), c.text) << c.button;
        EXPECT_EQ(button->toolTip().toStdString(), c.toolTip) << c.button;
    }
    EXPECT_EQ(menu.windowTitle(), "Kyt v2.8 - Select Option.");
}

TEST_F(MainMenu, LabelsSayWhatEachButtonDoes)
{
    FirstForm menu(state);
    const std::pair<const char*, const char*> labels[] = {
        {"Label1", "For extracting resumes from MS Word documents click Extract  R\u00e9sum\u00e9s' :"},
        {"Label2", "For knowing statistics, student details , generate their r\u00e9sum\u00e9s, click Query  "
                   "r\u00e9sum\u00e9 database' :"},
        {"Label3", "To generate all r\u00e9sum\u00e9s for an already prepared format click                        "
                   "'Generate all r\u00e9sum\u00e9s'"},
        {"Label5", "To remove records of old students or a particular student's records."},
        {"Label4", "To Exit Kyt"},
    };
    for (const auto& [name, text] : labels) {
        auto* label = control<QLabel>(&menu, name);
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text().toStdString(), text) << name;
    }
}

TEST_F(MainMenu, ButtonsWithoutAWindowStayVisibleButDisabled)
{
    FirstForm menu(state);
    menu.show();
    for (const char* name : {"OKButton", "CancelButton", "Command2", "Command3"}) {
        auto* button = control<QPushButton>(&menu, name);
        ASSERT_TRUE(button);
        EXPECT_TRUE(button->isVisible()) << name;
        EXPECT_FALSE(button->isEnabled()) << name;
    }
    EXPECT_TRUE(control<QPushButton>(&menu, "Command1")->isEnabled());
    menu.hide();
}

TEST_F(MainMenu, AButtonWithAnOpenerOpensItsWindow)
{
    FirstForm menu(state);
    std::vector<std::string> opened;
    for (const char* name : {"OKButton", "CancelButton", "Command3"})
        menu.setOpener(name, [&opened, name] { opened.push_back(name); });
    for (const char* name : {"OKButton", "CancelButton", "Command3"}) {
        EXPECT_TRUE(control<QPushButton>(&menu, name)->isEnabled()) << name;
        click(&menu, name);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"OKButton", "CancelButton", "Command3"}));
    EXPECT_FALSE(control<QPushButton>(&menu, "Command2")->isEnabled());
}

TEST_F(MainMenu, GenerateAllResumesForgetsTheLastQueryFirst)
{
    FirstForm menu(state);
    state.query.QueryCondition = "WHERE Personal.Branch = 'CS'";
    std::string conditionSeenByGenerator = "not opened";
    menu.setOpener("Command2", [&] { conditionSeenByGenerator = state.query.QueryCondition; });
    click(&menu, "Command2");
    EXPECT_EQ(conditionSeenByGenerator, "");
}

TEST_F(MainMenu, AnOpenerCanBeWithdrawn)
{
    FirstForm menu(state);
    menu.setOpener("OKButton", [] {});
    menu.setOpener("OKButton", nullptr);
    EXPECT_FALSE(control<QPushButton>(&menu, "OKButton")->isEnabled());
}

}  // namespace
}  // namespace kyt

#include "shell/ui/window_registration.h"

namespace kyt {
namespace {

TEST_F(MainMenu, AnOpenerShowsItsWindowOnceAndTheMainMenuClosesIt)
{
    state.config.ConfigPath = dir.file("Kyt.ini");
    FirstForm menu(state);
    int made = 0;
    menu.setOpener("OKButton", [&] {
        showWindow(state, "Form1", [&] {
            ++made;
            return new QWidget;
        });
    });
    click(&menu, "OKButton");
    click(&menu, "OKButton");
    EXPECT_EQ(made, 1);
    QWidget* form1 = findWindow(state, "Form1");
    ASSERT_TRUE(form1);
    EXPECT_TRUE(form1->isVisible());
    EXPECT_TRUE(state.session.Windows.contains("Form1"));

    menu.close();
    EXPECT_FALSE(form1->isVisible());
    state.session.Windows.destroyAll();
    EXPECT_FALSE(findWindow(state, "Form1"));
}

}  // namespace
}  // namespace kyt

#include <QPushButton>

#include "shell/ui/firstform.h"
#include "shell/ui/window_registration.h"
#include "support/window_test.h"

namespace kyt {
namespace {

using test::click;
using test::control;

using MainMenu = test::WindowTest;

TEST_F(MainMenu, ButtonsOpenTheirWindowsOnlyOnceAnOpenerIsSet)
{
    FirstForm menu(state);
    menu.show();
    for (const char* name : {"OKButton", "CancelButton", "Command2", "Command3"}) {
        EXPECT_TRUE(control<QPushButton>(&menu, name)->isVisible()) << name;
        EXPECT_FALSE(control<QPushButton>(&menu, name)->isEnabled()) << name;
    }
    EXPECT_TRUE(control<QPushButton>(&menu, "Command1")->isEnabled());

    std::vector<std::string> opened;
    for (const char* name : {"OKButton", "CancelButton", "Command3"})
        menu.setOpener(name, [&opened, name] { opened.push_back(name); });
    for (const char* name : {"OKButton", "CancelButton", "Command3"})
        click(&menu, name);
    EXPECT_EQ(opened, (std::vector<std::string>{"OKButton", "CancelButton", "Command3"}));

    // Generating all résumés forgets the last query first.
    state.query.QueryCondition = "WHERE Personal.Branch = 'CS'";
    std::string conditionSeenByGenerator = "not opened";
    menu.setOpener("Command2", [&] { conditionSeenByGenerator = state.query.QueryCondition; });
    click(&menu, "Command2");
    EXPECT_EQ(conditionSeenByGenerator, "");

    menu.setOpener("OKButton", nullptr);
    EXPECT_FALSE(control<QPushButton>(&menu, "OKButton")->isEnabled());
    menu.hide();
}

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

    menu.close();
    EXPECT_FALSE(form1->isVisible());
    state.session.Windows.destroyAll();
    EXPECT_FALSE(findWindow(state, "Form1"));
}

}  // namespace
}  // namespace kyt

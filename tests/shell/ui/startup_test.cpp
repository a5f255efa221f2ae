#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "db/data_connector.h"
#include "db/server_admin.h"
#include "shell/startup.h"
#include "shell/ui/firstform.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/program.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
#include "support/engine.h"
#include "support/window_test.h"

namespace kyt {
namespace {

using test::control;
using test::crlfLines;
using test::readFile;

class StartUp : public test::WindowTest {
protected:
    void start(const std::string& configPath)
    {
        program = std::make_unique<Program>(messages, configPath);
        program->start();
    }
    bool mainMenuShown() const { return program->mainMenu() && program->mainMenu()->isVisible(); }
    bool splashShown() const { return program->splash() && program->splash()->isVisible(); }

    // Declared last: goes first, before the messages it reports to.
    std::unique_ptr<Program> program;
};

// A task window that notes, when its own close handling runs, whether the database is still open.
struct RecordingWindow : QWidget {
    std::function<void()> onClose;
    void closeEvent(QCloseEvent* event) override
    {
        onClose();
        event->accept();
    }
};

// At Exit the task windows close before the database does (the registry's own test holds their order),
// and the configuration is rewritten with what the run changed.
TEST_F(StartUp, ExitClosesEverythingAndRewritesTheConfiguration)
{
    configure();
    start(state.config.ConfigPath);
    QTest::mouseClick(program->splash(), Qt::LeftButton);
    ASSERT_TRUE(mainMenuShown());
    Control& control = program->control();
    control.config.LastResumeFolder = "/srv/resumes/2026";
    control.config.TotalDocumentsScanned = 12;
    std::vector<bool> databaseOpen;  // at each close of the task window
    auto* window = new RecordingWindow;
    window->onClose = [&] {
        databaseOpen.push_back(control.session.Connector && control.session.Connector->GetConnectStatus());
    };
    registerWindow(control, "Form1", window, true);
    window->show();
    test::click(program->mainMenu(), "Command1");
    EXPECT_FALSE(mainMenuShown());
    ASSERT_FALSE(databaseOpen.empty());
    EXPECT_TRUE(databaseOpen[0]);
    EXPECT_FALSE(program->control().session.Connector) << "the database is closed and the connector let go";
    const std::vector<std::string> lines = crlfLines(readFile(state.config.ConfigPath));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2] + " " + lines[3] + " " + lines[6], database + " /srv/resumes/2026 12");
}

// The splash gives way to the main menu at its tick or at a click (on a label too). Start-ups that end
// before the main menu or with a message: the procedures' own tests hold the texts; here the windows
// that follow. Yes to the missing configuration opens the setup window, which outlives the splash; a
// key pressed on the splash ends the program.
TEST_F(StartUp, WhatFollowsTheSplash)
{
    enum Setup { AtItsTick, NoBranches, TooManyBranches, NotADatabase, NoConfiguration, SetUpNow, KeyPress };
    const struct {
        Setup setup;
        std::vector<std::string> titles;  // of the messages shown
        bool mainMenu;                     // after a click on the splash
    } cases[] = {
        {AtItsTick, {}, true},
        {NoBranches, {"Error"}, true},
        {TooManyBranches, {"Critical Error"}, false},
        {NotADatabase, {"Error Reading database", ""}, false},
        {NoConfiguration, {"Error."}, false},
        {SetUpNow, {"Error."}, false},
        {KeyPress, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        test::TempDir folder;
        std::string config = folder.file("Kyt.ini");
        if (c.setup == NotADatabase) {
            test::writeFile(folder.file("kyt.db"), "this is a text file, not a database");
            test::writeSetupConfig(config, folder.file("kyt.db"));
        } else if (c.setup != NoConfiguration && c.setup != SetUpNow) {
            const int branches = c.setup == NoBranches ? 0 : c.setup == TooManyBranches ? 41 : 2;
            config = test::makeConfiguredFolder(folder, test::branchLines(branches));
        }
        const std::string before = std::filesystem::exists(config) ? readFile(config) : "";
        messages.clear();
        messages.setNextAnswer(c.setup == SetUpNow ? MsgAnswer::Yes : MsgAnswer::No);
        start(config);
        std::vector<std::string> titles;
        for (const auto& shown : messages.messages())
            titles.push_back(shown.title);
        EXPECT_EQ(titles, c.titles);
        EXPECT_FALSE(mainMenuShown()) << "not before the splash goes";
        if (c.setup == KeyPress)
            test::keyClick(program->splash(), Qt::Key_Space, " ");
        else if (c.setup == SetUpNow || c.setup == AtItsTick)
            ASSERT_TRUE(QTest::qWaitFor([&] { return !splashShown(); }, 10000)) << "the splash goes at its tick";
        else if (splashShown())
            QTest::mouseClick(control<QLabel>(program->splash(), "lblCompanyProduct"), Qt::LeftButton);
        EXPECT_FALSE(program->splash() && program->splash()->findChild<QTimer*>("Timer1")->isActive());
        EXPECT_EQ(mainMenuShown(), c.mainMenu);
        EXPECT_FALSE(splashShown());
        EXPECT_EQ(program->setupWindow() && program->setupWindow()->isVisible(), c.setup == SetUpNow);
        if (c.mainMenu)
            program->mainMenu()->close();  // which rewrites the file
        program.reset();
        const std::string after = std::filesystem::exists(config) ? readFile(config) : "";
        EXPECT_EQ(after == before, !c.mainMenu) << "the file is rewritten only at the main menu's end";
    }
}

using MainMenu = test::WindowTest;

// Buttons open their windows only once an opener is set; generating all résumés (Command2) forgets the
// last query first. An opener's window is made once, and closes with the main menu.
TEST_F(MainMenu, ButtonsOpenTheirWindowsOnlyOnceAnOpenerIsSet)
{
    state.config.ConfigPath = dir.file("Kyt.ini");
    FirstForm menu(state);
    menu.show();
    state.query.QueryCondition = "WHERE Personal.Branch = 'CS'";
    std::vector<std::string> opened;
    for (const char* name : {"CancelButton", "Command2", "Command3"}) {
        EXPECT_FALSE(control<QPushButton>(&menu, name)->isEnabled()) << name;
        menu.setOpener(name, [&opened, name, this] { opened.push_back(name + state.query.QueryCondition); });
        test::click(&menu, name);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"CancelButtonWHERE Personal.Branch = 'CS'", "Command2", "Command3"}));
    menu.setOpener("Command3", nullptr);
    EXPECT_FALSE(control<QPushButton>(&menu, "Command3")->isEnabled());

    int made = 0;
    menu.setOpener("OKButton", [&] {
        showWindow(state, "Form1", [&] {
            ++made;
            return new QWidget;
        });
    });
    test::click(&menu, "OKButton");
    test::click(&menu, "OKButton");
    EXPECT_EQ(made, 1);
    QWidget* form1 = findWindow(state, "Form1");
    ASSERT_TRUE(form1);
    EXPECT_TRUE(form1->isVisible());
    menu.close();
    EXPECT_FALSE(form1->isVisible());
}

// A coordinator's main menu opens the query window, but says why extraction and administration are not
// theirs, without opening them.
TEST_F(MainMenu, ACoordinatorIsToldExtractionAndAdministrationAreForOfficers)
{
    if (!test::onServer())
        GTEST_SKIP() << "a server's";
    configure();
    const std::string coordinator = test::loginName("coordinator");
    ASSERT_TRUE(test::serverAdmin(database, "CREATE ROLE " + coordinator + " LOGIN"));
    db::Failure failure;
    ASSERT_TRUE(db::addCoordinator(*db::Database::open(database, db::Road::Connector, failure), coordinator, {"EC"},
                                   failure))
        << failure.description;
    state.config.DatabasePath = test::asLogin(database, coordinator);
    ASSERT_EQ(kyt::StartUp(state), StartUpResult::Ready);
    EXPECT_EQ(state.session.BranchCount, 1);
    FirstForm menu(state);
    std::vector<std::string> opened;
    for (const char* name : {"OKButton", "CancelButton", "Command3"}) {
        menu.setOpener(name, [&opened, name] { opened.push_back(name); });
        messages.clear();
        test::click(&menu, name);
        const bool refused = std::string(name) != "CancelButton";
        ASSERT_EQ(messages.messages().size(), refused ? 1u : 0u) << name;
        if (refused) {
            EXPECT_NE(messages.last().text.find("a coordinator of the branch EC: you may query, save and merge"),
                      std::string::npos)
                << messages.last().text;
        }
    }
    EXPECT_EQ(opened, std::vector<std::string>{"CancelButton"});
    menu.close();
}

}  // namespace
}  // namespace kyt

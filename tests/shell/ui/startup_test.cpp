#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <filesystem>

#include "db/data_connector.h"
#include "shell/ui/firstform.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/program.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
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
    // Starts on a configured folder and clicks the splash away.
    void startToTheMainMenu()
    {
        configure();
        start(state.config.ConfigPath);
        test::mouseClick(program->splash());
        ASSERT_TRUE(mainMenuShown());
    }

    bool mainMenuShown() const { return program->mainMenu() && program->mainMenu()->isVisible(); }
    bool splashShown() const { return program->splash() && program->splash()->isVisible(); }

    // Declared last: goes first, before the messages it reports to.
    std::unique_ptr<Program> program;
};

TEST_F(StartUp, SplashGivesWayToTheMainMenuAtItsTimerOrAtAClick)
{
    configure();
    start(state.config.ConfigPath);
    ASSERT_TRUE(splashShown());
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_FALSE(mainMenuShown());
    ASSERT_TRUE(test::waitUntil([&] { return mainMenuShown(); }));
    EXPECT_FALSE(splashShown());
    program->mainMenu()->close();

    start(state.config.ConfigPath);
    test::mouseClick(control<QLabel>(program->splash(), "lblCompanyProduct"));
    EXPECT_TRUE(mainMenuShown());
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(program->splash()->findChild<QTimer*>("Timer1")->isActive());
    program->mainMenu()->close();
}

TEST_F(StartUp, AKeyPressEndsWithoutMainMenuOrRewrite)
{
    configure();
    const std::string before = readFile(state.config.ConfigPath);
    start(state.config.ConfigPath);
    test::keyClick(program->splash(), Qt::Key_Space, " ");
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(program->mainMenu());
    program.reset();
    EXPECT_EQ(readFile(state.config.ConfigPath), before);
}

// A task window that notes when its own close handling ran and whether the database was still open.
class RecordingWindow : public QWidget {
public:
    RecordingWindow(Control& control, std::string name, std::vector<std::string>& log)
        : control_(control), name_(std::move(name)), log_(log)
    {
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        const bool connected = control_.session.Connector && control_.session.Connector->GetConnectStatus();
        log_.push_back(name_ + (connected ? " (database open)" : " (database closed)"));
        event->accept();
    }

private:
    Control& control_;
    std::string name_;
    std::vector<std::string>& log_;
};

TEST_F(StartUp, ExitClosesTheTaskWindowsInOrderBeforeTheDatabaseAndRewritesTheConfiguration)
{
    startToTheMainMenu();
    Control& control = program->control();
    control.config.LastResumeFolder = "/srv/resumes/2026";
    control.config.TotalDocumentsScanned = 12;
    control.config.TotalScanSeconds = 30;
    control.config.AverageScanSeconds = 2.5;
    std::vector<std::string> log;
    for (const char* name : {"FormatFile", "Form2", "Form1"}) {
        auto* window = new RecordingWindow(control, name, log);
        registerWindow(control, name, window, true);
        window->show();
    }
    test::click(program->mainMenu(), "Command1");
    EXPECT_FALSE(mainMenuShown());
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              (std::vector<std::string>{"Form1 (database open)", "Form2 (database open)",
                                        "FormatFile (database open)"}));
    EXPECT_FALSE(program->control().session.Connector) << "the database is closed and the connector let go";
    const std::vector<std::string> lines = crlfLines(readFile(state.config.ConfigPath));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2], database);
    EXPECT_EQ(lines[3], "/srv/resumes/2026");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()),
              (std::vector<std::string>{"12", "30.000", "2.500"}));
}

// Start-ups that end before the main menu or with a message: the procedures' own tests hold the texts;
// here the windows that follow.
TEST_F(StartUp, WhatFollowsAStartUpProblem)
{
    enum Setup { Branches0, Branches40, Branches41, NotADatabase, NoConfiguration };
    const struct {
        Setup setup;
        std::vector<std::string> titles;  // of the messages shown
        bool mainMenu;                     // after a click on the splash
    } cases[] = {
        {Branches0, {"Error"}, true},
        {Branches40, {}, true},
        {Branches41, {"Critical Error"}, false},
        {NotADatabase, {"Error Reading database", ""}, false},
        {NoConfiguration, {"Error."}, false},  // the setup window is declined
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        test::TempDir folder;
        std::string config = folder.file("Kyt.ini");
        if (c.setup == NotADatabase) {
            test::writeFile(folder.file("kyt.db"), "this is a text file, not a database");
            test::writeSetupConfig(config, folder.file("kyt.db"));
        } else if (c.setup != NoConfiguration) {
            const int branches = c.setup == Branches0 ? 0 : c.setup == Branches40 ? 40 : 41;
            config = test::makeConfiguredFolder(folder, branches ? test::branchLines(branches) : "");
        }
        const std::string before = c.setup == NoConfiguration ? "" : readFile(config);
        messages.clear();
        messages.setNextAnswer(MsgAnswer::No);
        start(config);
        std::vector<std::string> titles;
        for (const auto& shown : messages.messages())
            titles.push_back(shown.title);
        EXPECT_EQ(titles, c.titles);
        if (program->splash() && program->splash()->isVisible())
            test::mouseClick(program->splash());
        EXPECT_EQ(mainMenuShown(), c.mainMenu);
        EXPECT_FALSE(splashShown());
        EXPECT_FALSE(program->setupWindow());
        if (mainMenuShown())
            program->mainMenu()->close();
        else if (c.setup != NoConfiguration) {
            program.reset();
            EXPECT_EQ(readFile(config), before) << "nothing rewritten";
        }
        program.reset();
    }
}

TEST_F(StartUp, AMissingConfigurationOffersTheSetupWindow)
{
    messages.setNextAnswer(MsgAnswer::Yes);
    start(dir.file("Kyt.ini"));
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Error.");
    ASSERT_TRUE(program->setupWindow());
    EXPECT_TRUE(program->setupWindow()->isVisible());
    EXPECT_FALSE(program->control().session.Connector) << "the database is not opened";

    // The splash still goes at its tick; the setup window stays.
    ASSERT_TRUE(test::waitUntil([&] { return !splashShown(); }));
    EXPECT_FALSE(program->mainMenu());
    EXPECT_TRUE(program->setupWindow()->isVisible());
    EXPECT_FALSE(std::filesystem::exists(dir.file("Kyt.ini")));
    program->setupWindow()->close();
}

}  // namespace
}  // namespace kyt

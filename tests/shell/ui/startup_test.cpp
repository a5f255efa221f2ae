#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>

#include "db/data_connector.h"
#include "shell/configuration.h"
#include "shell/ui/firstform.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/program.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
#include "support/window_test.h"

namespace kyt {
namespace {

using test::click;
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

TEST_F(StartUp, SplashGivesWayToTheMainMenuAtItsTimer)
{
    configure();
    start(state.config.ConfigPath);
    ASSERT_TRUE(splashShown());
    EXPECT_TRUE(messages.messages().empty());
    auto* timer = program->splash()->findChild<QTimer*>("Timer1");
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->interval(), 1500);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(control<QLabel>(program->splash(), "lblVersion")->text(), "Version 2.8");
    EXPECT_EQ(control<QLabel>(program->splash(), "lblProductName")->text(), "Kyt");
    EXPECT_EQ(program->control().session.AppTitle, "Kyt v2.8");
    EXPECT_FALSE(mainMenuShown());

    ASSERT_TRUE(test::waitUntil([&] { return mainMenuShown(); }));
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(program->mainMenu()->windowTitle(), "Kyt v2.8 - Select Option.");
    EXPECT_EQ(program->control().session.BranchCount, 2);
    EXPECT_EQ(program->control().session.BranchCodes[0], "CS");
    EXPECT_EQ(program->control().session.DbErrorCount, 6);
    program->mainMenu()->close();
}

TEST_F(StartUp, AClickAnywhereOnTheSplashOpensTheMainMenuAtOnce)
{
    configure();
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
    std::string before = readFile(state.config.ConfigPath);
    start(state.config.ConfigPath);
    test::keyClick(program->splash(), Qt::Key_Space, " ");
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(program->mainMenu());
    program.reset();
    EXPECT_EQ(readFile(state.config.ConfigPath), before);
}

TEST_F(StartUp, ClosingTheMainMenuRewritesTheConfiguration)
{
    configure();
    start(state.config.ConfigPath);
    test::mouseClick(program->splash());
    ASSERT_TRUE(mainMenuShown());
    program->control().config.LastResumeFolder = "/srv/resumes/2026";
    program->control().config.TotalDocumentsScanned = 12;
    program->control().config.TotalScanSeconds = 30;
    program->control().config.AverageScanSeconds = 2.5;
    program->mainMenu()->close();

    EXPECT_FALSE(program->control().session.Connector) << "the database is closed and the connector let go";
    std::vector<std::string> lines = crlfLines(readFile(state.config.ConfigPath));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2], database);
    EXPECT_EQ(lines[3], "/srv/resumes/2026");
    EXPECT_EQ(lines[6], "12");
    EXPECT_EQ(lines[7], "30.000");
    EXPECT_EQ(lines[8], "2.500");
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
        bool connected = control_.session.Connector && control_.session.Connector->GetConnectStatus();
        log_.push_back(name_ + (connected ? " (database open)" : " (database closed)"));
        event->accept();
    }

private:
    Control& control_;
    std::string name_;
    std::vector<std::string>& log_;
};

TEST_F(StartUp, ExitClosesTheTaskWindowsInOrderBeforeTheDatabase)
{
    configure();
    start(state.config.ConfigPath);
    test::mouseClick(program->splash());
    ASSERT_TRUE(mainMenuShown());
    std::vector<std::string> log;
    for (const char* name : {"FormatFile", "Form2", "Form1"}) {
        auto* window = new RecordingWindow(program->control(), name, log);
        registerWindow(program->control(), name, window, true);
        window->show();
    }
    click(program->mainMenu(), "Command1");
    EXPECT_FALSE(mainMenuShown());
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              (std::vector<std::string>{"Form1 (database open)", "Form2 (database open)",
                                        "FormatFile (database open)"}));
    EXPECT_EQ(crlfLines(readFile(state.config.ConfigPath)).size(), 9u);
}

TEST_F(StartUp, AnEmptyBranchTableIsReportedAndTheMainMenuStillOpens)
{
    configure("");
    start(state.config.ConfigPath);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text,
              "Error. The database does not contain any branches \nPlease set the branches of your college by using "
              "the adminstration option which follows.\nOr contact kyt-support@example.org");
    EXPECT_EQ(messages.last().title, "Error");
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_EQ(program->control().session.BranchCount, 0);
    EXPECT_EQ(program->control().session.DbErrorCount, 6);
    test::mouseClick(program->splash());
    EXPECT_TRUE(mainMenuShown());
    program->mainMenu()->close();
}

TEST_F(StartUp, FortyBranchesAllLoad)
{
    configure(test::branchLines(40));
    start(state.config.ConfigPath);
    EXPECT_TRUE(messages.messages().empty());
    const Control& c = program->control();
    ASSERT_EQ(c.session.BranchCount, 40);
    std::vector<std::string> codes(c.session.BranchCodes.begin(), c.session.BranchCodes.begin() + 40);
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes.front(), "B01");
    EXPECT_EQ(codes.back(), "B40");
    test::mouseClick(program->splash());
    EXPECT_TRUE(mainMenuShown());
    program->mainMenu()->close();
}

TEST_F(StartUp, FortyOneBranchesEndStartUpAfterTheMessage)
{
    configure(test::branchLines(41));
    std::string before = readFile(state.config.ConfigPath);
    start(state.config.ConfigPath);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text,
              "Sorry, there are too many branches. This software cannot be used for colleges with over 40 branches ");
    EXPECT_EQ(messages.last().title, "Critical Error");
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_EQ(messages.last().buttons, MsgButtons::OK);
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(program->mainMenu());
    EXPECT_TRUE(program->control().session.BranchCodes[0].empty()) << "no codes loaded";
    program.reset();
    EXPECT_EQ(readFile(state.config.ConfigPath), before);
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

TEST_F(StartUp, DecliningTheSetupEndsWithTheSplash)
{
    messages.setNextAnswer(MsgAnswer::No);
    start(dir.file("Kyt.ini"));
    EXPECT_FALSE(program->setupWindow());
    test::mouseClick(program->splash());
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(program->mainMenu());
}

TEST_F(StartUp, ADatabaseThatCannotBeOpenedEndsTheProgram)
{
    std::string notADatabase = dir.file("kyt.db");
    test::writeFile(notADatabase, "this is a text file, not a database");
    state.config.ConfigPath = dir.file("Kyt.ini");
    test::writeSetupConfig(state.config.ConfigPath, notADatabase);
    std::string before = readFile(state.config.ConfigPath);
    start(state.config.ConfigPath);

    ASSERT_EQ(messages.messages().size(), 2u);
    const test::RecordedMessage& first = messages.messages()[0];
    EXPECT_EQ(first.title, "Error Reading database");
    EXPECT_EQ(first.icon, MsgIcon::Critical);
    const std::string opening =
        "Error opening the database.\nPlease check that you are trying to open the correct database \n\n";
    EXPECT_EQ(first.text.rfind(opening, 0), 0u) << first.text;
    EXPECT_GT(first.text.size(), opening.size()) << "the reason follows";
    EXPECT_EQ(messages.last().text, "Unable to connect to database");
    EXPECT_EQ(messages.last().title, "");
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_FALSE(splashShown());
    EXPECT_FALSE(program->mainMenu());
    program.reset();
    EXPECT_EQ(readFile(state.config.ConfigPath), before);
}

TEST_F(StartUp, TheSetupWindowsFileIsUsableAndGainsZeroStatisticsAtTheNextEnd)
{
    database = test::makeDatabase(dir);
    state.config.ConfigPath = dir.file("Kyt.ini");
    {
        setinit window(state);
        control<QLineEdit>(&window, "Text1")->setText("1qp");
        control<QLineEdit>(&window, "Text2")->setText("TPO@College.edu");
        control<QLineEdit>(&window, "Text3")->setText(QString::fromStdString(database));
        click(&window, "Command1");
    }
    ASSERT_EQ(crlfLines(readFile(state.config.ConfigPath)).size(), 6u);
    messages.clear();

    start(state.config.ConfigPath);
    EXPECT_TRUE(messages.messages().empty());
    test::mouseClick(program->splash());
    ASSERT_TRUE(mainMenuShown());
    EXPECT_EQ(program->control().config.RegionCollegeCode, "1QP");
    program->mainMenu()->close();

    std::vector<std::string> lines = crlfLines(readFile(state.config.ConfigPath));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "1QP");
    EXPECT_EQ(lines[1], "tpo@college.edu");
    EXPECT_EQ(lines[6], "0");
    EXPECT_EQ(lines[7], "0.000");
    EXPECT_EQ(lines[8], "0.000");
}

}  // namespace
}  // namespace kyt

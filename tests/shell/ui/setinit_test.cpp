#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "shell/configuration.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/setinit.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt {
namespace {

using test::click;
using test::control;
using test::crlfLines;
using test::readFile;
using test::writeFile;

class SetupWindow : public test::WindowTest {
protected:
    SetupWindow()
    {
        state.session.AppTitle = "Kyt v2.8";
        state.config.ConfigPath = dir.file("Kyt.ini");
        databaseFile = dir.file("kyt.db");
        writeFile(databaseFile, "only its existence matters to the setup window");
    }

    void fill(setinit& window, const std::string& code, const std::string& email, const std::string& path)
    {
        control<QLineEdit>(&window, "Text1")->setText(QString::fromStdString(code));
        control<QLineEdit>(&window, "Text2")->setText(QString::fromStdString(email));
        control<QLineEdit>(&window, "Text3")->setText(QString::fromStdString(path));
    }

    std::string databaseFile;
};

TEST_F(SetupWindow, CaptionAndRegistration)
{
    setinit window(state);
    EXPECT_EQ(window.windowTitle(), "Kyt v2.8 - Setup init file");
    EXPECT_TRUE(state.session.Windows.contains("setinit"));
}

struct Refusal {
    const char* name;
    const char* code;
    const char* email;
    bool databaseExists;
    const char* text;
    const char* title;
    const char* focus;
};

class SetupRefusals : public SetupWindow, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SetupRefusals, RefusesWithoutWritingAndFocusesTheField)
{
    const Refusal& r = GetParam();
    setinit window(state);
    window.show();
    fill(window, r.code, r.email, r.databaseExists ? databaseFile : dir.file("missing.db"));
    click(&window, "Command1");

    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, r.text);
    EXPECT_EQ(messages.last().title, r.title);
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_EQ(messages.last().buttons, MsgButtons::OK);
    EXPECT_EQ(window.focusWidget(), control<QLineEdit>(&window, r.focus));
    EXPECT_FALSE(std::filesystem::exists(state.config.ConfigPath));
    EXPECT_TRUE(window.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    SetupWindow, SetupRefusals,
    ::testing::Values(
        Refusal{"DatabaseNotFound", "1QP", "tpo@college.edu", false, "Database file not found.", "", "Text3"},
        Refusal{"DatabaseCheckedFirst", "1Q", "bad", false, "Database file not found.", "", "Text3"},
        Refusal{"CodeOfTwoCharacters", "1Q", "tpo@college.edu", true, " Invalid region and College code ", "Error",
                "Text1"},
        Refusal{"EmptyCode", "", "tpo@college.edu", true, " Invalid region and College code ", "Error", "Text1"},
        Refusal{"EmailWithoutDot", "1QP", "tpo@college", true, " Invalid Email ID ", "Error", "Text2"},
        Refusal{"EmptyEmail", "1QP", "", true, " Invalid Email ID ", "Error", "Text2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupWindow, WritesSixLinesWithTheCodeUpperCasedAndTheAddressLowerCased)
{
    setinit window(state);
    window.show();
    fill(window, "1qp", "Placement.Cell@College.EDU", databaseFile);
    click(&window, "Command1");

    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, "Init file created.\n Please Restart Kyt.");
    EXPECT_EQ(messages.last().title, "Success");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_FALSE(window.isVisible());

    std::string text = readFile(state.config.ConfigPath);
    std::vector<std::string> lines = crlfLines(text);
    ASSERT_EQ(lines.size(), 6u) << text;
    EXPECT_EQ(lines[0], "1QP");
    EXPECT_EQ(lines[1], "placement.cell@college.edu");
    EXPECT_EQ(lines[2], databaseFile);
    EXPECT_EQ(lines[3], ProgramFolder());
    EXPECT_EQ(lines[4], ProgramFolder());
    EXPECT_EQ(lines[5], ProgramFile());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(SetupWindow, LongerCodesOfAnyCharactersAreAccepted)
{
    setinit window(state);
    fill(window, "4so-2024", "tpo@college.edu", databaseFile);
    click(&window, "Command1");
    EXPECT_EQ(crlfLines(readFile(state.config.ConfigPath)).at(0), "4SO-2024");
}

TEST_F(SetupWindow, ATypedRelativePathIsStoredInFull)
{
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    setinit window(state);
    fill(window, "1QP", "tpo@college.edu", "kyt.db");
    click(&window, "Command1");
    std::filesystem::current_path(previous);
    EXPECT_EQ(crlfLines(readFile(state.config.ConfigPath)).at(2), databaseFile);
}

TEST_F(SetupWindow, AFileThatCannotBeWrittenIsReportedNotCelebrated)
{
    state.config.ConfigPath = dir.file("no-such-folder/Kyt.ini");
    setinit window(state);
    window.show();
    fill(window, "1QP", "tpo@college.edu", databaseFile);
    click(&window, "Command1");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Error");
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_NE(messages.last().text.find("no-such-folder"), std::string::npos) << messages.last().text;
    EXPECT_TRUE(window.isVisible());
}

TEST_F(SetupWindow, LocatePutsTheFileChosenInTheFileDialogIntoTheDatabaseField)
{
    setinit window(state);
    window.show();
    test::RealDialogs dialogs;
    dialogs.chooseFile(QString::fromStdString(databaseFile));
    click(&window, "Command4");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Locate Kyt Database file");
    EXPECT_EQ(control<QLineEdit>(&window, "Text3")->text().toStdString(), databaseFile);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(SetupWindow, ARealMessageIsAnsweredThroughItsButton)
{
    QtMessageService shown;
    state.session.Messages = &shown;
    setinit window(state);
    window.show();
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    click(&window, "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Help");
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Information);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(SetupWindow, CancellingLocateKeepsTheTypedPath)
{
    setinit window(state);
    control<QLineEdit>(&window, "Text3")->setText("/typed/by/hand.db");
    window.chooseDatabaseFile = [] { return QString(); };
    click(&window, "Command4");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, "Please select a file");
    EXPECT_EQ(messages.last().title, "");
    EXPECT_EQ(messages.last().icon, MsgIcon::None);
    EXPECT_EQ(messages.last().buttons, MsgButtons::OK);
    EXPECT_EQ(control<QLineEdit>(&window, "Text3")->text(), "/typed/by/hand.db");
}

TEST_F(SetupWindow, HelpExplainsTheTwoFields)
{
    setinit window(state);
    click(&window, "Command3");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Help");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_EQ(messages.last().text.rfind("Email ID is used in case a student's Email is invalid \n\n The .DB file. "
                                         "The entries may look like ",
                                         0),
              0u)
        << messages.last().text;
}

TEST_F(SetupWindow, CancelClosesWithoutWriting)
{
    setinit window(state);
    window.show();
    fill(window, "1QP", "tpo@college.edu", databaseFile);
    click(&window, "Command2");
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(std::filesystem::exists(state.config.ConfigPath));
    EXPECT_TRUE(messages.messages().empty());
}

}  // namespace
}  // namespace kyt

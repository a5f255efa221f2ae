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

class SetupWindow : public test::WindowTest {
protected:
    SetupWindow()
    {
        state.config.ConfigPath = dir.file("Kyt.ini");
        test::writeFile(databaseFile, "only its existence matters to the setup window");
        window.show();
    }

    void fill(const std::string& code, const std::string& email, const std::string& path)
    {
        control<QLineEdit>(&window, "Text1")->setText(QString::fromStdString(code));
        control<QLineEdit>(&window, "Text2")->setText(QString::fromStdString(email));
        control<QLineEdit>(&window, "Text3")->setText(QString::fromStdString(path));
    }

    std::string databaseFile = dir.file("kyt.db");
    setinit window{state};
};

TEST_F(SetupWindow, RefusalsWriteNothingAndFocusTheField)
{
    const struct {
        const char* code;
        const char* email;
        bool databaseExists;
        const char* text;
        const char* title;
        const char* focus;
    } refusals[] = {
        {"1QP", "tpo@college.edu", false, "Database file not found.", "", "Text3"},
        {"1Q", "bad", false, "Database file not found.", "", "Text3"},  // the database is checked first
        {"1Q", "tpo@college.edu", true, " Invalid region and College code ", "Error", "Text1"},
        {"", "tpo@college.edu", true, " Invalid region and College code ", "Error", "Text1"},
        {"1QP", "tpo@college", true, " Invalid Email ID ", "Error", "Text2"},
        {"1QP", "", true, " Invalid Email ID ", "Error", "Text2"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(std::string(r.code) + " " + r.email);
        messages.clear();
        fill(r.code, r.email, r.databaseExists ? databaseFile : dir.file("missing.db"));
        click(&window, "Command1");
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.last().text, r.text);
        EXPECT_EQ(messages.last().title, r.title);
        EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
        EXPECT_EQ(window.focusWidget(), control<QLineEdit>(&window, r.focus));
        EXPECT_FALSE(std::filesystem::exists(state.config.ConfigPath));
        EXPECT_TRUE(window.isVisible());
    }
    click(&window, "Command2");  // Cancel
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(std::filesystem::exists(state.config.ConfigPath));
}

TEST_F(SetupWindow, WritesSixLinesWithTheCodeUpperCasedAndTheAddressLowerCased)
{
    fill("1qp", "Placement.Cell@College.EDU", databaseFile);
    click(&window, "Command1");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, "Init file created.\n Please Restart Kyt.");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_FALSE(window.isVisible());
    const std::string text = readFile(state.config.ConfigPath);
    EXPECT_EQ(crlfLines(text), (std::vector<std::string>{"1QP", "placement.cell@college.edu", databaseFile,
                                                         ProgramFolder(), ProgramFolder(), ProgramFile()}));
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

    // Longer codes of any characters are accepted; a typed relative path is stored in full.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    fill("4so-2024", "tpo@college.edu", "kyt.db");
    click(&window, "Command1");
    std::filesystem::current_path(previous);
    const std::vector<std::string> lines = crlfLines(readFile(state.config.ConfigPath));
    EXPECT_EQ(lines.at(0), "4SO-2024");
    EXPECT_EQ(lines.at(2), databaseFile);
}

TEST_F(SetupWindow, AFileThatCannotBeWrittenIsReportedNotCelebrated)
{
    state.config.ConfigPath = dir.file("no-such-folder/Kyt.ini");
    fill("1QP", "tpo@college.edu", databaseFile);
    click(&window, "Command1");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Error");
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_NE(messages.last().text.find("no-such-folder"), std::string::npos) << messages.last().text;
    EXPECT_TRUE(window.isVisible());
}

TEST_F(SetupWindow, LocateAndHelpThroughTheRealDialogs)
{
    window.chooseDatabaseFile = [] { return QString(); };  // cancelled: the typed path stays
    control<QLineEdit>(&window, "Text3")->setText("/typed/by/hand.db");
    click(&window, "Command4");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, "Please select a file");
    EXPECT_EQ(control<QLineEdit>(&window, "Text3")->text(), "/typed/by/hand.db");

    window.chooseDatabaseFile = nullptr;
    QtMessageService shown;
    state.session.Messages = &shown;
    test::RealDialogs dialogs;
    dialogs.chooseFile(QString::fromStdString(databaseFile)).click(QMessageBox::Ok);
    click(&window, "Command4");
    click(&window, "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Locate Kyt Database file");
    EXPECT_EQ(control<QLineEdit>(&window, "Text3")->text().toStdString(), databaseFile);
    EXPECT_EQ(dialogs.seen().at(1).title, "Help");
    EXPECT_EQ(dialogs.seen().at(1).icon, QMessageBox::Information);
    EXPECT_EQ(dialogs.seen().at(1).text.rfind("Email ID is used in case a student's Email is invalid", 0), 0u);
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace kyt

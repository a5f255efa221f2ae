// The user's manual follows the program: every window the main menu opens is described in it under its
// caption with a picture of its own, the sections the program's messages send the officer to exist, and the
// main menu's button tells where the manual is when it cannot show it.

#include <QPushButton>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "app/ui/windows.h"
#include "shell/ui/firstform.h"
#include "shell/ui/frmsplash.h"
#include "shell/user_manual.h"
#include "support/window_test.h"

namespace kyt::test {

TEST(UserManual, EveryWindowTheMainMenuOpensIsDescribedWithItsPicture)
{
    TempDir dir;
    ScriptedMessages messages;
    Program program(messages, makeConfiguredFolder(dir, "CS,Computer Science\n"));
    ConnectWindows(program);
    program.start();
    QTest::mouseClick(program.splash(), Qt::LeftButton);
    QWidget* menu = program.mainMenu();
    ASSERT_TRUE(menu && menu->isVisible());

    // Each button in turn, and the windows it brought up: object name and caption.
    std::map<std::string, std::string> opened;
    std::set<QWidget*> shown{menu};
    for (QPushButton* button : menu->findChildren<QPushButton*>()) {
        if (!button->isEnabled() || button->objectName() == "Command1" || button->objectName() == "ManualButton")
            continue;
        button->click();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && shown.insert(window).second)
                opened[window->objectName().toStdString()] = window->windowTitle().toStdString();
    }
    ASSERT_GE(opened.size(), 5u) << "extraction, query, generation, administration, drives";

    const std::string docs = KYT_SOURCE_DIR "/docs/";
    const std::string manual = readFile(docs + "manual.md");
    const std::string prefix = program.control().session.AppTitle + " - ";
    for (const auto& [name, title] : opened) {
        SCOPED_TRACE(name + ": " + title);
        std::string caption = title.starts_with(prefix) ? title.substr(prefix.size()) : title;
        caption.erase(0, caption.find_first_not_of(' '));
        EXPECT_NE(manual.find("\"" + caption + "\""), std::string::npos) << "its caption, in quotes";
        std::smatch picture;
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::regex named("\\]\\((screenshots/" + lower + "[-a-z0-9]*\\.png)\\)");
        EXPECT_TRUE(std::regex_search(manual, picture, named) && std::filesystem::exists(docs + picture[1].str()))
            << "a picture of it, in docs/";
    }
    for (const char* section : {"\n# Query Resume Database\n", "\n# Generating Resumes\n", "\n# Appendix A"})
        EXPECT_NE(manual.find(section), std::string::npos) << section << ": the program's messages send the officer there";

    // Where no PDF viewer can show it (as here), the officer is told where the manual is; it is there.
    click(menu, "ManualButton");
    ASSERT_FALSE(messages.messages().empty());
    EXPECT_NE(messages.last().text.find(UserManualPath()), std::string::npos) << messages.last().text;
    EXPECT_TRUE(std::filesystem::exists(UserManualPath())) << UserManualPath();
    menu->close();
}

}  // namespace kyt::test

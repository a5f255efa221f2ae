#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/window_registry.h"

namespace kyt {
namespace {

TEST(WindowRegistry, ClosesInTheFixedOrderWhateverTheOrderOfLoading)
{
    WindowRegistry windows;
    std::vector<std::string> closed;
    for (const char* name : {"setinit", "Form4", "Report", "Form1", "FormatFile", "Form2"})
        windows.add(name, {[&closed, name] { closed.push_back(name); }, nullptr, nullptr});
    std::vector<std::string> expected{"Form1", "Form2", "Form4", "FormatFile", "setinit", "Report"};
    EXPECT_EQ(windows.closeAll(), expected);
    EXPECT_EQ(closed, expected);
}

TEST(WindowRegistry, OneFailingCloseDoesNotKeepTheOthersOpen)
{
    WindowRegistry windows;
    std::vector<std::string> closed;
    windows.add("Form1", {[] { throw std::runtime_error("refuses"); }, nullptr, nullptr});
    windows.add("Form3", {[&] { closed.push_back("Form3"); }, nullptr, nullptr});
    windows.closeAll();
    EXPECT_EQ(closed, std::vector<std::string>{"Form3"});
}

TEST(WindowRegistry, ARemovedWindowIsSkipped)
{
    WindowRegistry windows;
    int closes = 0;
    int first = 0;
    windows.add("Form2", {[&] { ++closes; }, nullptr, &first});
    windows.remove("Form2", &first);
    EXPECT_FALSE(windows.contains("Form2"));
    EXPECT_TRUE(windows.closeAll().empty());
    EXPECT_EQ(closes, 0);
}

TEST(WindowRegistry, AReplacedWindowCannotRemoveItsSuccessor)
{
    WindowRegistry windows;
    int first = 0;
    int second = 0;
    windows.add("Form4", {[] {}, nullptr, &first});
    windows.add("Form4", {[] {}, nullptr, &second});
    windows.remove("Form4", &first);
    EXPECT_TRUE(windows.contains("Form4"));
}

TEST(WindowRegistry, AWindowClosingAnotherIsNotClosedTwice)
{
    WindowRegistry windows;
    std::vector<std::string> closed;
    windows.add("Form1", {[&] {
                              closed.push_back("Form1");
                              windows.remove("Form2");  // closing Form1 unloads its status window
                          },
                          nullptr, nullptr});
    windows.add("Form2", {[&] { closed.push_back("Form2"); }, nullptr, nullptr});
    windows.closeAll();
    EXPECT_EQ(closed, std::vector<std::string>{"Form1"});
}

TEST(WindowRegistry, DestroyAllLetsGoOfOwnedWindowsOnce)
{
    WindowRegistry windows;
    int destroyed = 0;
    windows.add("Form1", {[] {}, [&] { ++destroyed; }, nullptr});
    windows.add("Form3", {[] {}, nullptr, nullptr});
    windows.destroyAll();
    windows.destroyAll();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(windows.contains("Form3"));
}

}  // namespace
}  // namespace kyt

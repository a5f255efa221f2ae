#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/window_registry.h"

namespace kyt {
namespace {

// Loaded in any order, closed in the fixed one; a failing close does not keep the others open, and a
// window that unloads another while closing (Form1 its status window Form2) is not closed twice.
TEST(WindowRegistry, ClosesInTheFixedOrderEachWindowOnce)
{
    WindowRegistry windows;
    std::vector<std::string> closed;
    for (const char* name : {"setinit", "Form4", "Report", "Form1", "FormatFile", "Form2", "Form3"})
        windows.add(name, {[&closed, name] { closed.push_back(name); }, nullptr, nullptr});
    windows.add("Form1", {[&] {
                              closed.push_back("Form1");
                              windows.remove("Form2");
                          },
                          nullptr, nullptr});
    windows.add("Form3", {[] { throw std::runtime_error("refuses"); }, nullptr, nullptr});
    EXPECT_EQ(windows.closeAll(), (std::vector<std::string>{"Form1", "Form3", "Form4", "FormatFile", "setinit", "Report"}));
    EXPECT_EQ(closed, (std::vector<std::string>{"Form1", "Form4", "FormatFile", "setinit", "Report"}));
}

TEST(WindowRegistry, RemovedWindowsAreSkippedAndAReplacedOneCannotRemoveItsSuccessor)
{
    WindowRegistry windows;
    int first = 0, second = 0, closes = 0, destroyed = 0;
    windows.add("Form2", {[&] { ++closes; }, nullptr, &first});
    windows.remove("Form2", &first);
    EXPECT_FALSE(windows.contains("Form2"));
    windows.add("Form4", {[] {}, [&] { ++destroyed; }, &first});
    windows.add("Form4", {[] {}, [&] { ++destroyed; }, &second});
    windows.remove("Form4", &first);
    EXPECT_EQ(windows.find("Form4"), &second);
    EXPECT_EQ(windows.closeAll(), std::vector<std::string>{"Form4"});
    EXPECT_EQ(closes, 0);
    windows.destroyAll();
    windows.destroyAll();
    EXPECT_EQ(destroyed, 1) << "owned windows are let go of once";
    EXPECT_FALSE(windows.contains("Form4"));
}

}  // namespace
}  // namespace kyt

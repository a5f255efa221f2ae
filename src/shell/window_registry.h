#pragma once
// The task windows that are loaded, by name, so that closing the main menu can close them in a fixed
// order, each through its own close handling, before the database goes.

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kyt {

class WindowRegistry {
public:
    // The order in which the main menu's unload closes the task windows.
    static constexpr std::array<std::string_view, 9> kCloseOrder = {
        "Form1", "Form2", "Form3", "Form4", "Form5", "Form6", "Form7", "FormatFile", "setinit"};

    struct Entry {
        std::function<void()> close;    // runs the window's own close handling
        std::function<void()> destroy;  // lets go of the window at the end of the program; may be empty
        void* window = nullptr;         // the window itself; also keeps a replaced one from removing its successor
    };

    WindowRegistry() = default;
    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;
    WindowRegistry(WindowRegistry&&) = default;
    WindowRegistry& operator=(WindowRegistry&&) = default;

    // A second add under the same name replaces the first.
    void add(const std::string& name, Entry entry);
    void remove(const std::string& name);
    // Removes `name` only while it still refers to `window`.
    void remove(const std::string& name, const void* window);
    bool contains(const std::string& name) const;
    // The window registered under `name`, or null: the one way to find a loaded window.
    void* find(const std::string& name) const;

    // Closes every loaded window: those of kCloseOrder in that order, then any others in the order
    // they were added. A failing close does not stop the others. Returns the names closed.
    std::vector<std::string> closeAll();

    // Destroys every window still registered (the program's last step) and forgets them.
    void destroyAll();

private:
    std::vector<std::pair<std::string, Entry>> entries_;
};

}  // namespace kyt

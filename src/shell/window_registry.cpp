#include "shell/window_registry.h"

#include <algorithm>

namespace kyt {

void WindowRegistry::add(const std::string& name, Entry entry)
{
    for (auto& [existing, e] : entries_) {
        if (existing == name) {
            e = std::move(entry);
            return;
        }
    }
    entries_.emplace_back(name, std::move(entry));
}

void WindowRegistry::remove(const std::string& name)
{
    std::erase_if(entries_, [&](const auto& e) { return e.first == name; });
}

void WindowRegistry::remove(const std::string& name, const void* window)
{
    std::erase_if(entries_, [&](const auto& e) { return e.first == name && e.second.window == window; });
}

bool WindowRegistry::contains(const std::string& name) const
{
    return std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == name; });
}

void* WindowRegistry::find(const std::string& name) const
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == name; });
    return it == entries_.end() ? nullptr : it->second.window;
}

std::vector<std::string> WindowRegistry::closeAll()
{
    std::vector<std::string> order;
    for (std::string_view name : kCloseOrder)
        order.emplace_back(name);
    for (const auto& e : entries_) {
        if (std::find(order.begin(), order.end(), e.first) == order.end())
            order.push_back(e.first);
    }

    std::vector<std::string> closed;
    for (const std::string& name : order) {
        // Looked up afresh each time: a window's close handling may load or unload others.
        auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == name; });
        if (it == entries_.end() || !it->second.close)
            continue;
        std::function<void()> close = it->second.close;
        try {
            close();
        } catch (...) {
            // The program is ending; one window failing to close must not keep the others open.
        }
        closed.push_back(name);
    }
    return closed;
}

void WindowRegistry::destroyAll()
{
    auto entries = std::move(entries_);
    entries_.clear();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->second.destroy)
            it->second.destroy();
    }
}

}  // namespace kyt

#pragma once
// Runs a check as an unprivileged user: CI runs the tests as root, for whom read-only files and folders
// are writable. The check runs in a forked child that dropped to "nobody"; what it returns is its exit
// status. The files it needs must be reachable for that user (see reachableFor).

#include <functional>
#include <string>

namespace kyt::test {

inline constexpr unsigned kNobody = 65534;

// The child's exit status (the check's result, 0 to 125); 126 when the privileges could not be dropped,
// 127 when it did not end normally.
int runUnprivileged(const std::function<int()>& check);

// Lets the unprivileged user pass through every folder from / down to `path` (adds search permission).
void reachableFor(const std::string& path);

}  // namespace kyt::test

#pragma once
// An error-log sink for tests that fails like a full disk.

#include <string>
#include <string_view>
#include <vector>

#include "shell/control.h"

namespace kyt::test {

// Accepts the first `goodWrites` records, then refuses `badWrites` writes (a disk that filled up;
// -1: for ever), then accepts again (space was freed). Accepted records are kept, refusals counted.
class FailingLogSink : public LogSink {
public:
    FailingLogSink(int goodWrites, int badWrites) : goodWrites_(goodWrites), badWrites_(badWrites) {}
    bool write(std::string_view text) override
    {
        const int attempt = static_cast<int>(records.size()) + refused;
        if (attempt >= goodWrites_ && (badWrites_ < 0 || refused < badWrites_)) {
            ++refused;
            return false;
        }
        records.emplace_back(text);
        return true;
    }
    std::vector<std::string> records;
    int refused = 0;

private:
    int goodWrites_;
    int badWrites_;
};

}  // namespace kyt::test

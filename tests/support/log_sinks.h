#pragma once
// Error-log sinks for tests: one that keeps every record, one that fails like a full disk.

#include <string>
#include <string_view>
#include <vector>

#include "shell/control.h"

namespace kyt::test {

// Keeps every record written, in order.
class MemoryLogSink : public LogSink {
public:
    bool write(std::string_view text) override
    {
        records.emplace_back(text);
        return true;
    }
    std::string contents() const
    {
        std::string all;
        for (const auto& record : records)
            all += record;
        return all;
    }
    std::vector<std::string> records;
};

// Accepts the first `goodWrites` records, then refuses `badWrites` writes (a disk that filled up;
// -1: for ever), then accepts again (space was freed). Accepted records are kept, refusals counted.
class FailingLogSink : public LogSink {
public:
    explicit FailingLogSink(int goodWrites = 0, int badWrites = -1) : goodWrites_(goodWrites), badWrites_(badWrites) {}
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

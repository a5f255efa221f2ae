#pragma once
// A database with branches CS, EC and MCA, college 1QP and scripted messages; students seeded as the
// reader writes them, failures injected by triggers.

#include <gtest/gtest.h>

#include <array>

#include "admin/administration.h"
#include "db/data_connector.h"
#include "support/extraction_fixture.h"

namespace kyt::test {

using Table = std::vector<std::vector<std::string>>;

class AdminTest : public ::testing::Test {
protected:
    // A student with marks rows {level, obtained, maximum}.
    void student(const std::string& usn, const std::vector<std::array<int, 3>>& marks = {{3, 600, 1000}})
    {
        exec("INSERT INTO Personal(USN, Name) VALUES ('" + usn + "', 'Student " + usn + "')");
        for (const auto& m : marks)
            exec("INSERT INTO Marks VALUES ('" + usn + "', " + std::to_string(m[0]) + ", 'RVCE', " +
                 std::to_string(m[1]) + ", " + std::to_string(m[2]) + ", 60, 'First', '2001', '1')");
    }
    void exec(const std::string& sql) { ASSERT_EQ(setup.control.session.Connector->exec(sql), -13) << sql; }
    long students() { return setup.count("SELECT count(*) FROM Personal"); }

    TempDir dir;
    ExtractionSetup setup{dir};
    ScriptedMessages& messages = setup.messages;
};

}  // namespace kyt::test

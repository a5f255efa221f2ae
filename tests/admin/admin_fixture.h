#pragma once
// A database with branches CS, EC and MCA, college 1QP, scripted messages, and ways to seed students,
// inject failures and compare whole tables.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <string>
#include <vector>

#include "admin/administration.h"
#include "db/data_connector.h"
#include "support/extraction_fixture.h"

namespace kyt::test {

using admin::Outcome;
using Table = std::vector<std::vector<std::string>>;

class AdminTest : public ::testing::Test {
protected:
    // A student with marks rows (level, obtained, maximum), written as the reader writes them.
    void student(const std::string& usn, const std::vector<std::array<int, 3>>& marks = {{3, 600, 1000}})
    {
        ASSERT_EQ(exec("INSERT INTO Personal(USN, Name) VALUES ('" + usn + "', 'Student " + usn + "')"), -13);
        for (const auto& m : marks)
            ASSERT_EQ(exec("INSERT INTO Marks VALUES ('" + usn + "', " + std::to_string(m[0]) + ", 'RVCE', " +
                           std::to_string(m[1]) + ", " + std::to_string(m[2]) + ", 60, 'First', '2001', '1')"),
                      -13);
    }
    int32_t exec(const std::string& sql) { return setup.control.Connector->exec(sql); }
    // Statements on a connection of the test's own (triggers that make the program's statements fail).
    void raw(const std::string& sql)
    {
        sqlite3* db = nullptr;
        sqlite3_open(setup.databasePath.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    Table tables() { return concat({setup.rows("SELECT * FROM Personal ORDER BY USN"),
                                    setup.rows("SELECT * FROM Marks ORDER BY usn, education_level"),
                                    setup.rows("SELECT * FROM Branch ORDER BY BranchCode")}); }
    static Table concat(std::vector<Table> parts)
    {
        Table all;
        for (auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    long students(const std::string& like = "%") { return setup.count("SELECT count(*) FROM Personal WHERE USN LIKE '" + like + "'"); }
    long marks(const std::string& like = "%") { return setup.count("SELECT count(*) FROM Marks WHERE usn LIKE '" + like + "'"); }

    TempDir dir;
    ExtractionSetup setup{dir};
    ScriptedMessages& messages = setup.messages;
};

}  // namespace kyt::test

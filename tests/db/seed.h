#pragma once
// Students stored with the same statement texts the résumé reader sends, on a database made by init-db.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/data_connector.h"
#include "db/database.h"
#include "support/temp_dir.h"

namespace kyt::test {

struct Student {
    std::string usn;
    std::string name = "Asha Rao";
    std::string dob = "05-11-2003";
    std::string gender = "Female";
    std::string email = "asha@example.com";
    std::string hobbies = "chess";
    std::string eca = "debate";
    std::string pin = "560001";
};

// The Personal row exactly as the reader writes it: values in column order, texts between quotes,
// the two numbers bare, the nine fixed initial values at the end.
inline std::string personalInsert(const Student& s)
{
    auto texts = [](const std::vector<std::string>& values) {
        std::string joined;
        for (const std::string& v : values)
            joined += "', '" + v;
        return joined;
    };
    return "INSERT INTO Personal Values('" + s.usn + "' , 'Computer Science' , '" + s.name + "', 'Ravi Rao','" + s.dob +
           "' , '" + s.gender +
           texts({"Kannada, English", "12345", "Indian", "O+", "Hindu", s.email, "12 First Main", "Jayanagar",
                  "Bangalore", "", "Bangalore"}) +
           "', " + s.pin + ", '14 Second Main', 'Mysore Road', 'Mysore', '', 'Mysore', " + s.pin + ", '080-2345678" +
           texts({s.hobbies, s.eca, "University rank"}) + "', 2,2,2,0,0,'e','e','e','e')";
}

inline std::string marksInsert(const std::string& usn, int level, int obtained, int maximum,
                               const std::string& percentage = "72.5", const std::string& klass = "FCD",
                               const std::string& year = "Jun 2023", const std::string& attempts = "1")
{
    return "INSERT INTO marks values( '" + usn + "', " + std::to_string(level) + ", '" + "RV College" + "', " +
           std::to_string(obtained) + ", " + std::to_string(maximum) + ", " + percentage + ", '" + klass + "', '" +
           year + "', '" + attempts + "')";
}

// A fresh database with the default branches, open on the road asked for.
class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { path = makeDatabase(dir); }

    std::unique_ptr<db::Database> openDb(db::Road road = db::Road::Connector)
    {
        db::Failure failure;
        auto opened = db::Database::open(path, road, failure);
        EXPECT_TRUE(opened) << failure.description;
        return opened;
    }

    void run(db::Database& database, const std::string& sql)
    {
        db::Failure failure;
        ASSERT_TRUE(database.exec(sql, failure)) << sql << "\n" << failure.description;
    }

    // Semester marks of levels first..last, all with the same obtained/maximum.
    void storeStudent(db::Database& database, const Student& s, int firstLevel, int lastLevel, int obtained,
                      int maximum)
    {
        run(database, personalInsert(s));
        for (int level = firstLevel; level <= lastLevel; ++level)
            run(database, marksInsert(s.usn, level, obtained, maximum));
    }

    db::Recordset select(db::Database& database, const std::string& sql)
    {
        db::Recordset rs;
        db::Failure failure;
        EXPECT_TRUE(database.openRecordset(sql, rs, failure)) << sql << "\n" << failure.description;
        return rs;
    }

    std::vector<std::string> column(db::Database& database, const std::string& sql, const std::string& field)
    {
        std::vector<std::string> values;
        for (db::Recordset rs = select(database, sql); !rs.isEOF(); rs.MoveNext())
            values.push_back(rs.field(field).toText());
        return values;
    }

    TempDir dir;
    std::string path;
};

}  // namespace kyt::test

#pragma once
// The students every query test selects from: batch 22 with CS at 70 %, EC at 81 % (a tab in the name)
// and MCA at 60 %, and batch 21 with CS at 90 %; levels 3 to 9 on record.

#include <gtest/gtest.h>

#include <tuple>

#include "db/seed.h"

namespace kyt::test {

inline void storeStudents(const std::string& database)
{
    db::Failure failure;
    auto writer = db::Database::open(database, db::Road::Connector, failure);
    ASSERT_TRUE(writer && writer->begin(failure)) << failure.description;
    for (const auto& [usn, name, obtained] : {std::tuple{"1QP22CS001", "Asha", 70}, std::tuple{"1QP22EC002", "Ravi\tTab", 81},
                                              std::tuple{"1QP22MCA03", "Mala", 60}, std::tuple{"1QP21CS004", "Old", 90}}) {
        ASSERT_TRUE(writer->exec(personalInsert({.usn = usn, .name = name}), failure)) << failure.description;
        for (int level = 3; level <= 9; ++level)
            ASSERT_TRUE(writer->exec(marksInsert(usn, level, obtained, 100), failure)) << failure.description;
    }
    ASSERT_TRUE(writer->commit(failure)) << failure.description;
}

}  // namespace kyt::test

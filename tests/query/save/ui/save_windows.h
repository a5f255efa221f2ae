#pragma once
// The results window on a database of students from two branches, for the save and options tests.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "db/seed.h"
#include "query/retrieve.h"
#include "query/ui/form4.h"
#include "query/ui/form6.h"
#include "shell/ui/window_registration.h"
#include "support/window_test.h"

namespace kyt::test {

class SaveWindows : public WindowTest {
protected:
    void SetUp() override
    {
        configure();
        state.config.DatabasePath = database;
        db::Failure failure;
        auto db = db::Database::open(database, db::Road::Connector, failure);
        ASSERT_TRUE(db) << failure.description;
        Student s;
        for (const char* usn : {"1QP22EC001", "1QP22CS002", "1QP22CS001"}) {
            s.usn = usn;
            s.name = std::string("Student ") + usn;
            s.email = std::string(usn) + "@example.com";
            ASSERT_TRUE(db->exec(personalInsert(s), failure)) << failure.description;
            for (int level = 3; level <= 8; ++level)
                ASSERT_TRUE(db->exec(marksInsert(usn, level, 70, 100), failure)) << failure.description;
        }
        results = std::make_unique<Form4>(state);
        registerWindow(state, "Form4", results.get());  // found by the results window's openers
    }

    // A result as the criteria window shows it: USN, Name, the percentage and Email (or `select`).
    void showResult(bool rankedByUsn = true,
                    const std::string& select = "SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent ")
    {
        state.query.QueryCondition = " where (Percent1To6 >= 0 )  AND ( usn like '*22*') AND (usn = Freepercent.usn_FP) "
                               " ORDER BY " + std::string(rankedByUsn ? "USN" : "Percent1To6") + " ASC";
        query::ResultTable table;
        db::Failure failure;
        ASSERT_TRUE(query::OpenResult(database, select + state.query.QueryCondition, table, failure)) << failure.description;
        results->showQueryResult(table, rankedByUsn, false);
    }

    QCheckBox* pageBreakBox() { return control<QCheckBox>(results.get(), "Check1"); }

    void TearDown() override
    {
        if (options)
            delete options.data();
        results.reset();
    }

    std::unique_ptr<Form4> results;
    QPointer<Form6> options;
};

}  // namespace kyt::test

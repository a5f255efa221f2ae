#pragma once
// The criteria window of 2026 on the shared students and the results window it loads, for the window
// tests of the query and of saving.

#include <QComboBox>

#include "query/students.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "shell/ui/window_registration.h"
#include "support/window_test.h"

namespace kyt::test {

class QueryWindows : public WindowTest {
protected:
    void SetUp() override
    {
        database = makeDatabase(dir);  // CS, EC and MCA
        state.config.DatabasePath = database;
        state.session.BranchCodes[0] = "CS", state.session.BranchCodes[1] = "EC", state.session.BranchCodes[2] = "MCA";
        state.session.BranchCount = 3;
        storeStudents(database);
        makeForm();
    }
    void TearDown() override
    {
        form.reset();
        state.session.Windows.destroyAll();
    }

    void makeForm()  // in 2026, when batch 22 is the second item
    {
        form = std::make_unique<Form3>(state, [] { return 2026; });
        form->runOptions.busyTimeoutMs = 50;
    }
    template <class T = QWidget>
    T* the(const char* name) { return control<T>(form.get(), name); }
    void choose(const char* comboName, const QString& item) { the<QComboBox>(comboName)->setCurrentText(item); }
    void retrieve() { click(form.get(), "Command2"); }
    Form4* results() { return qobject_cast<Form4*>(findWindow(state, "Form4")); }
    template <class T = QWidget>
    T* inResults(const char* name) { return control<T>(results(), name); }

    std::unique_ptr<Form3> form;
};

}  // namespace kyt::test

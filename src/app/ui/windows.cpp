#include "app/ui/windows.h"

#include "admin/ui/form5.h"
#include "drives/ui/formdrives.h"
#include "drives/ui/formstats.h"
#include "extract/ui/form1.h"
#include "merge/ui/formatfile.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "query/ui/form6.h"
#include "query/ui/save_to_file.h"
#include "shell/ui/firstform.h"
#include "shell/ui/window_registration.h"

namespace kyt {

void ConnectWindows(Program& program)
{
    program.setOpener("OKButton", [&program] { Form1::open(program.control()); });
    program.setOpener("CancelButton", [&program] { Form3::open(program.control()); });
    // The résumé generator hides the main menu while it works and shows its progress on the results window.
    auto generatorHooks = [&program] {
        GenerateHooks hooks;
        hooks.HideMainMenu = [&program] {
            if (QWidget* menu = program.mainMenu())
                menu->hide();
        };
        hooks.ShowMainMenu = [&program] {
            if (QWidget* menu = program.mainMenu())
                menu->show();
        };
        hooks.ShowProgress = [&program](int16_t percent) { Form4::get(program.control())->ShowProgress(percent); };
        hooks.ShowQueryResults = [&program] {
            Form4* results = Form4::get(program.control());
            results->show();
            results->raise();
        };
        return hooks;
    };
    program.setOpener("Command2", [&program, generatorHooks] { FormatFile::open(program.control(), generatorHooks()); });
    // The results window's Generate merges the students it shows, not whatever the last query left.
    Form4::setOpener(program.control(), "Command2", [&program, generatorHooks](Form4& results) {
        FormatFile::open(program.control(), generatorHooks(), results.selection(), &results);
    });
    program.setOpener("Command3", [&program] { Form5::open(program.control()); });
    Form4::setOpener(program.control(), "Command3", [&program](Form4& results) {
        SaveResultsToFile(program.control(), results);
    });
    Form4::setOpener(program.control(), "Command4",
                     [&program](Form4& results) { Form6::open(program.control(), results); });
    program.setOpener("DrivesButton", [&program] { FormDrives::open(program.control()); });
    Form4::setOpener(program.control(), "StatsButton", [&program](Form4& results) {
        FormStats::open(program.control(), &results)->showResult(results.result(), results.gridCaption().toStdString());
    });
    Form3::drivesChanged() = [&program] {
        if (auto* drives = qobject_cast<FormDrives*>(findWindow(program.control(), "FormDrives")))
            drives->refresh();
    };
    Form5::branchesChanged = [&program] {
        if (auto* query = qobject_cast<Form3*>(findWindow(program.control(), "Form3")))
            query->reloadBranches();
    };
}

}  // namespace kyt

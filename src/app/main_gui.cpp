// kyt: the windows. `kyt --config FILE` reads and writes FILE instead of Kyt.ini beside the program.

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

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
#include "shell/product.h"
#include "shell/ui/program.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "shell/ui/work_runner.h"

int main(int argc, char** argv)
{
    // Desktop file dialogs run inside the program and look into the files they list, the database's too.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kyt::kProductName.data(), kyt::kProductName.size()));
    QApplication::setApplicationVersion(QString::fromUtf8(kyt::kVersion.data(), kyt::kVersion.size()));

    QCommandLineParser parser;
    parser.setApplicationDescription("Résumé database for a college placement office.");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption config("config", "Use FILE as the configuration instead of Kyt.ini beside the program.",
                              "FILE");
    parser.addOption(config);
    parser.process(app);

    kyt::QtMessageService messages;
    QString configPath = parser.value(config);
    if (!configPath.isEmpty())
        configPath = QFileInfo(configPath).absoluteFilePath();
    kyt::Program program(messages, configPath.toStdString());
    kyt::QtWorkRunner work;
    program.control().session.Work = &work;
    program.setOpener("OKButton", [&program] { kyt::Form1::open(program.control()); });
    program.setOpener("CancelButton", [&program] { kyt::Form3::open(program.control()); });
    // The résumé generator hides the main menu while it works and shows its progress on the results window.
    auto generatorHooks = [&program] {
        kyt::GenerateHooks hooks;
        hooks.HideMainMenu = [&program] {
            if (QWidget* menu = program.mainMenu())
                menu->hide();
        };
        hooks.ShowMainMenu = [&program] {
            if (QWidget* menu = program.mainMenu())
                menu->show();
        };
        hooks.ShowProgress = [&program](int16_t percent) { kyt::Form4::get(program.control())->ShowProgress(percent); };
        hooks.ShowQueryResults = [&program] {
            kyt::Form4* results = kyt::Form4::get(program.control());
            results->show();
            results->raise();
        };
        return hooks;
    };
    program.setOpener("Command2", [&program, generatorHooks] { kyt::FormatFile::open(program.control(), generatorHooks()); });
    // The results window's Generate merges the students it shows, not whatever the last query left.
    kyt::Form4::setOpener(program.control(), "Command2", [&program, generatorHooks](kyt::Form4& results) {
        kyt::FormatFile::open(program.control(), generatorHooks(), results.selection(), &results);
    });
    program.setOpener("Command3", [&program] { kyt::Form5::open(program.control()); });
    kyt::Form4::setOpener(program.control(), "Command3", [&program](kyt::Form4& results) {
        kyt::SaveResultsToFile(program.control(), results);
    });
    kyt::Form4::setOpener(program.control(), "Command4",
                          [&program](kyt::Form4& results) { kyt::Form6::open(program.control(), results); });
    program.setOpener("DrivesButton", [&program] { kyt::FormDrives::open(program.control()); });
    kyt::Form4::setOpener(program.control(), "StatsButton", [&program](kyt::Form4& results) {
        kyt::FormStats::open(program.control(), &results)->showResult(results.result(), results.gridCaption().toStdString());
    });
    kyt::Form3::drivesChanged() = [&program] {
        if (auto* drives = qobject_cast<kyt::FormDrives*>(kyt::findWindow(program.control(), "FormDrives")))
            drives->refresh();
    };
    kyt::Form5::branchesChanged = [&program] {
        if (auto* query = qobject_cast<kyt::Form3*>(kyt::findWindow(program.control(), "Form3")))
            query->reloadBranches();
    };
    QTimer::singleShot(0, &program, &kyt::Program::start);
    return app.exec();
}

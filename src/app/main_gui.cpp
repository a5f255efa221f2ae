// kyt: the windows. `kyt --config FILE` reads and writes FILE instead of Kyt.ini beside the program.

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "app/ui/windows.h"
#include "shell/product.h"
#include "shell/ui/program.h"
#include "shell/ui/qt_message_service.h"
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
    kyt::ConnectWindows(program);
    QTimer::singleShot(0, &program, &kyt::Program::start);
    return app.exec();
}

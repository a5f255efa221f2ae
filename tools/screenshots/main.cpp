// kyt-screenshots --config FILE OUT: opens every window of the program on the configured database, as
// the officer reaches it, and writes one PNG per window into OUT, named by the window (firstform.png,
// form3.png, ...). scripts/screenshots gives it a throwaway database with the sample résumés and runs it
// under Xvfb. Adding a window is one line in main().

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>
#include <functional>

#include "app/ui/windows.h"
#include "shell/message_service.h"
#include "shell/ui/firstform.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
#include "shell/ui/work_runner.h"

namespace {

using namespace kyt;

// Nothing waits for a person: every question takes its first answer, and each message is printed.
class PrintedMessages : public MessageService {
protected:
    MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon, MsgButtons buttons, MsgAnswer) override
    {
        std::fprintf(stderr, "kyt-screenshots: message \"%s\": %s\n", title.c_str(), text.c_str());
        return FirstAnswer(buttons);
    }
};

// Lets the program work (folder lists load, grids fill) until `done`, for at most `seconds`.
bool settle(const std::function<bool()>& done, int seconds = 30)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (done())
            return true;
    } while (clock.elapsed() < seconds * 1000);
    return false;
}

class Camera {
public:
    explicit Camera(QString folder) : folder_(std::move(folder)) {}

    // The top-level window named `name`, once it shows.
    QWidget* window(const char* name)
    {
        QWidget* found = nullptr;
        settle(
            [&] {
                for (QWidget* candidate : QApplication::topLevelWidgets())
                    if (candidate->objectName() == name && candidate->isVisible())
                        found = candidate;
                return found != nullptr;
            },
            10);
        if (!found)
            fail(std::string("the window ") + name + " did not open");
        return found;
    }
    // Sets the box `name` of `window` to the item `text`, as the officer picks it.
    void choose(QWidget* window, const char* name, const QString& text)
    {
        auto* box = window ? window->findChild<QComboBox*>(name) : nullptr;
        const int index = box ? box->findText(text) : -1;
        if (index < 0)
            return fail(std::string("no item ") + text.toStdString() + " in " + name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void tick(QWidget* window, const char* name, bool on = true)
    {
        if (auto* box = window ? window->findChild<QAbstractButton*>(name) : nullptr)
            box->setChecked(on);
        else
            fail(std::string("no box ") + name);
    }
    void type(QWidget* window, const char* name, const QString& text)
    {
        if (auto* box = window ? window->findChild<QLineEdit*>(name) : nullptr)
            box->setText(text);
        else
            fail(std::string("no text box ") + name);
    }
    void date(QWidget* window, const char* name, QDate date)
    {
        if (auto* box = window ? window->findChild<QDateEdit*>(name) : nullptr)
            box->setDate(date);
        else
            fail(std::string("no date box ") + name);
    }
    // Chooses the first row of the grid `name` of `window` (its only grid when no name is given).
    void firstRow(QWidget* window, const QString& name = {})
    {
        auto* grid = window ? window->findChild<QTableWidget*>(name) : nullptr;
        if (!grid || grid->rowCount() == 0)
            return fail("no row to choose in " + (window ? window->objectName().toStdString() : std::string("?")));
        grid->selectRow(0);
    }
    void click(QWidget* window, const char* button)
    {
        auto* found = window ? window->findChild<QAbstractButton*>(button) : nullptr;
        if (!found)
            return fail(std::string("no button ") + button);
        found->click();
    }
    // One picture of `window` as drawn, without the frame the desktop adds.
    void take(QWidget* window, const QString& name)
    {
        if (!window)
            return;
        window->raise();
        settle([] { return false; }, 1);  // the last paints
        const QString path = QDir(folder_).filePath(name + ".png");
        if (!window->grab().save(path))
            return fail("could not write " + path.toStdString());
        std::printf("%s\n", path.toLocal8Bit().constData());
    }
    void fail(const std::string& what)
    {
        std::fprintf(stderr, "kyt-screenshots: %s\n", what.c_str());
        failed_ = true;
    }
    bool failed() const { return failed_; }

private:
    QString folder_;
    bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));  // the same pictures on every desktop
    QApplication::setCursorFlashTime(0);  // a text cursor always drawn, not caught mid-blink
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes a picture of every window into OUT, for the user's manual.");
    parser.addHelpOption();
    QCommandLineOption config("config", "The configuration naming the database to show.", "FILE");
    parser.addOption(config);
    parser.addPositionalArgument("OUT", "The folder the pictures go to.");
    parser.process(app);
    if (!parser.isSet(config) || parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString out = parser.positionalArguments().front();
    QDir().mkpath(out);

    PrintedMessages messages;
    Program program(messages, QFileInfo(parser.value(config)).absoluteFilePath().toStdString());
    QtWorkRunner work;  // long work off the window thread, as in the program
    program.control().session.Work = &work;
    ConnectWindows(program);
    Control& control = program.control();
    Camera camera(out);

    program.start();
    if (!settle([&] { return program.splash() && program.splash()->isVisible(); }))
        return 1;
    camera.take(program.splash(), "frmsplash");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(program.splash(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(program.splash(), &release);
    if (!settle([&] { return program.mainMenu() && program.mainMenu()->isVisible(); })) {
        std::fprintf(stderr, "kyt-screenshots: the main menu did not open\n");
        return 1;
    }
    QWidget* menu = program.mainMenu();
    camera.take(menu, "firstform");

    // Extraction: the window on the résumé folder, its history, and the status window after a second run
    // of the same folder that replaces the students the first one stored.
    camera.click(menu, "OKButton");
    QWidget* extraction = camera.window("Form1");
    camera.tick(extraction, "Check2");  // the samples' refusals do not stop the run
    camera.tick(extraction, "Check3");  // the stored students are replaced: the history shows both kinds
    camera.take(extraction, "form1");
    camera.click(extraction, "Command1");
    QWidget* status = camera.window("Form2");
    settle([&] {  // the run is over when Finish can be pressed
        auto* finish = status ? status->findChild<QAbstractButton*>("Command2") : nullptr;
        return finish && finish->isVisible() && finish->isEnabled();
    });
    camera.take(status, "form2");
    camera.click(status, "Command1");  // << Back to the extraction window, and its history of both runs
    camera.click(camera.window("Form1"), "CommandHistory");
    QWidget* history = camera.window("RunHistory");
    camera.firstRow(history);  // the newest run, the one an officer takes back
    camera.take(history, "runhistory");

    // Query: the samples' batch of every branch, its results, the advanced save options.
    camera.click(menu, "CancelButton");
    QWidget* query = camera.window("Form3");
    camera.choose(query, "Combo7", "22");
    camera.choose(query, "Combo1_0", "All Branches");
    camera.take(query, "form3");
    // A company's rules, as the officer sets them before saving a drive; then taken out again and the group
    // closed (a closed group keeps its rules in force), so that the results show the whole batch.
    camera.click(query, "EligibilityButton");
    camera.type(query, "TenthPercent", "60");
    camera.type(query, "TwelfthPercent", "60");
    camera.tick(query, "BacklogsCheck");
    camera.tick(query, "BornCheck");
    camera.date(query, "BornFrom", QDate(2003, 6, 1));
    camera.type(query, "DriveCompany", "Acme Engineering");
    camera.date(query, "DriveDate", QDate(2026, 9, 15));
    camera.take(query, "form3-eligibility");
    for (const char* box : {"TenthPercent", "TwelfthPercent", "DriveCompany"})
        camera.type(query, box, {});
    camera.tick(query, "BacklogsCheck", false);
    camera.tick(query, "BornCheck", false);
    camera.click(query, "EligibilityButton");
    camera.click(query, "Command2");
    QWidget* results = camera.window("Form4");
    camera.take(results, "form4");
    camera.click(results, "Command4");
    camera.take(camera.window("Form6"), "form6");

    camera.click(menu, "Command2");
    camera.take(camera.window("FormatFile"), "formatfile");

    camera.click(menu, "Command3");
    QWidget* administration = camera.window("Form5");
    camera.take(administration, "form5");
    camera.click(administration, "Command5");
    camera.take(camera.window("Form7"), "form7");

    // Drives: the first drive chosen, so that its shortlist shows; then the batch's statistics.
    camera.click(menu, "DrivesButton");
    QWidget* drives = camera.window("FormDrives");
    camera.firstRow(drives, "DriveTable");
    camera.take(drives, "formdrives");
    camera.click(drives, "BatchStatsButton");
    QWidget* statistics = camera.window("FormStats");
    camera.choose(statistics, "BatchCombo", "22");
    camera.choose(statistics, "ToSem", "6");
    camera.click(statistics, "ShowBatchButton");
    camera.take(statistics, "formstats");
    if (auto* tabs = statistics ? statistics->findChild<QTabWidget*>("StatsTabs") : nullptr) {
        tabs->setCurrentIndex(3);  // the aggregate distribution
        camera.take(statistics, "formstats-chart");
    }

    auto* setup = new setinit(control);
    setup->show();
    camera.take(setup, "setinit");
    delete setup;

    menu->close();
    return camera.failed() ? 1 : 0;
}

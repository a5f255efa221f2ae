#pragma once
// The status window of an extraction run: the current document and its progress, the whole run's
// progress and errors, and at the end the totals. "<< Back" returns to the extraction window, "Finish"
// closes both; either way the officer is told where the students were stored.

#include <QWidget>
#include <functional>
#include <memory>

#include "extract/batch_driver.h"
#include "shell/control.h"

namespace Ui {
class Form2;
}

namespace kyt {

class Form2 : public QWidget, public ExtractionView {
    Q_OBJECT

public:
    explicit Form2(Control& control, QWidget* parent = nullptr);
    ~Form2() override;

    // Whether the extraction window's "Copy resumes with errors" was checked for this run.
    void setCopyErroredResumes(bool checked) { copyErroredResumes_ = checked; }
    // How the run ended: Finish adds no summary after a run a failing environment stopped.
    void setRunOutcome(RunOutcome outcome) { outcome_ = outcome; }
    // While a run is in progress the buttons stay disabled and none of the program's windows (main menu,
    // extraction and status windows) can be closed: a message box of the run lets the window system in,
    // and a main menu closed then would take the database away from under the run. Dialogs close as usual.
    void setRunning(bool running);
    // How this window reaches the extraction window: close it, and open a fresh one (Back).
    std::function<void()> closeExtractionWindow;
    std::function<void()> openExtractionWindow;

    // ExtractionView
    void startDocument(const std::string& fileName) override;
    void setResumeProgress(int percent) override;
    void setDocumentErrors(const std::string& count) override;
    void setTotalErrors(const std::string& count) override;
    void showScannedText(const std::string& text) override;
    void setWholeProgress(int percent) override;
    std::string caption() const override;
    void setCaption(const std::string& caption) override;
    void showNote(const std::string& text) override;
    void showSuccessfulText(const std::string& text) override;
    void showCounts(const std::string& text) override;
    void showScanningHeading() override;
    void showComplete() override;
    void showConverting(int count) override;
    void processEvents() override;

    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::Form2> ui;
    Control& control_;
    bool Finished = false;
    bool copyErroredResumes_ = false;
    RunOutcome outcome_ = RunOutcome::Completed;
    bool running_ = false;
};

}  // namespace kyt

#include "extract/ui/form2.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>

#include "shell/ui/window_keys.h"
#include "ui_form2.h"

namespace kyt {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

Form2::Form2(Control& control, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::Form2>()), control_(control)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Finished = false;
    setWindowTitle(Q(control_.session.AppTitle + " - Status"));
    connect(ui->Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    // The totals appear at the end of the run in space kept for them: nothing moves under the officer's eyes.
    KeepPlaceWhenHidden({ui->Label1, ui->Label10, ui->Label11, ui->Label8, ui->Label9});
    const int line = fontMetrics().lineSpacing();
    for (QLabel* label : {ui->Label10, ui->Label11, ui->Label9})
        label->setMinimumHeight(line);
    ui->Label8->setMinimumHeight(3 * line);  // the note names the log's path, which may wrap
    KeyHabits::install(this, {.firstFocus = ui->Command2, .defaultButton = ui->Command2, .escape = [this] { close(); }});
}

Form2::~Form2() = default;

void Form2::setRunning(bool running)
{
    if (running && !running_)
        QCoreApplication::instance()->installEventFilter(this);
    else if (!running && running_)
        QCoreApplication::instance()->removeEventFilter(this);
    running_ = running;
    ui->Command1->setEnabled(!running);
    ui->Command2->setEnabled(!running);
}

void Form2::startDocument(const std::string& fileName)
{
    ui->Label2->setText(Q(fileName));
    ui->Label5->setText("0");
    if (!isVisible())
        show();
    ui->Label2->repaint();
}

void Form2::setResumeProgress(int percent)
{
    ui->Label3->setText(QString::number(percent) + " %");
    ui->ProgressCurrent->setValue(percent);
    ui->Label3->repaint();
    ui->ProgressCurrent->repaint();
}

void Form2::setDocumentErrors(const std::string& count) { ui->Label5->setText(Q(count)); }

void Form2::setTotalErrors(const std::string& count) { ui->Label7->setText(Q(count)); }

void Form2::showScannedText(const std::string& text)
{
    ui->Label10->setText(Q(text));
    ui->Label10->setVisible(true);
}

void Form2::setWholeProgress(int percent)
{
    ui->Label14->setText(QString::number(percent));
    ui->ProgressBarWhole->setValue(percent);
    ui->Label14->repaint();
    ui->ProgressBarWhole->repaint();
}

std::string Form2::caption() const { return windowTitle().toStdString(); }

void Form2::setCaption(const std::string& caption) { setWindowTitle(Q(caption)); }

void Form2::showNote(const std::string& text)
{
    ui->Label8->setText(Q(text));
    ui->Label8->setVisible(true);
}

void Form2::showSuccessfulText(const std::string& text)
{
    ui->Label11->setText(Q(text));
    ui->Label11->setVisible(true);
}

void Form2::showCounts(const std::string& text)
{
    ui->Label16->setText(Q(text));
    ui->Label16->setVisible(true);
}

void Form2::showScanningHeading() { ui->Label1->setVisible(true); }

void Form2::showComplete()
{
    ui->Label9->setVisible(true);
    // A run the database stopped before its first document has not shown the window yet.
    if (!isVisible())
        show();
}

void Form2::showConverting(int count)
{
    ui->Label2->setText(QString("converting %1 older documents (.doc, .rtf, .odt)...").arg(count));
    if (!isVisible())
        show();
    ui->Label2->repaint();
}

void Form2::processEvents()
{
    // Repaints and window-manager traffic only: a click must not close windows or the database under the run.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Form2::Command1_Click()
{
    auto reopen = openExtractionWindow;
    close();
    if (reopen)
        reopen();
}

void Form2::Command2_Click()
{
    ShowFinishMessages(control_, copyErroredResumes_, outcome_);
    Finished = true;
    close();
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    // Only the program's own windows are held open. A message box or file dialog closes itself through a
    // close event when answered; holding it would leave the run waiting on an answer that cannot be given.
    if (running_ && event->type() == QEvent::Close && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && !qobject_cast<QDialog*>(widget)) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::closeEvent(QCloseEvent* event)
{
    if (running_) {
        event->ignore();
        return;
    }
    if (!Finished)
        ShowExtractedTo(control_);
    if (closeExtractionWindow)
        closeExtractionWindow();
    event->accept();
}

}  // namespace kyt

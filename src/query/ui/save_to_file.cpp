#include "query/ui/save_to_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "query/retrieve.h"
#include "query/save_results.h"
#include "query/ui/form4.h"
#include "shell/long_work.h"
#include "shell/message_service.h"
#include "shell/output_guard.h"
#include "shell/ui/file_views.h"

namespace kyt {

namespace {

constexpr const char* kNotSaved = "Information Not Saved. ";

QString askWithDialog(QWidget* parent, const QString& suggested)
{
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString filter = "Word document (*.docx)";
    QString chosen = askSaveFileName(
        parent, "Save results to file", QDir(folder).filePath(suggested),
        "Word document (*.docx);;Spreadsheet, comma separated (*.csv);;Text (*.txt);;PDF (*.pdf)", &filter);
    if (chosen.isEmpty())
        return chosen;
    folder = QFileInfo(chosen).absolutePath();
    // A name typed without one of the endings gets the ending of the chosen file type.
    if (!query::SaveFormatFor(chosen.toStdString())) {
        const qsizetype dot = filter.lastIndexOf("*.");
        chosen += filter.mid(dot + 1, filter.size() - dot - 2);
    }
    return chosen;
}

// The result the grid showed before the save, put back as it was.
struct ShownResult {
    Form4& results;
    query::ResultTable kept;
    ~ShownResult()
    {
        const int16_t rows = static_cast<int16_t>(kept.recordCount());
        const int16_t cols = static_cast<int16_t>(kept.fieldCount());
        results.showResult(std::move(kept));
        results.gridCols = cols;
        results.gridRows = rows;
        if (auto* count = results.findChild<QLabel*>("Label2"))
            count->setText(QString::number(rows));
    }
};

void tellNotSaved(Control& control, const std::string& reason)
{
    control.session.Messages->show(reason.empty() ? kNotSaved : std::string(kNotSaved) + "\r\n" + reason, "Possible Error",
                           MsgIcon::Exclamation, MsgButtons::OK);
}

}  // namespace

ChooseSaveFile& saveFileChooser()
{
    static ChooseSaveFile chooser;
    return chooser;
}

void SaveResultsToFile(Control& control, Form4& results)
{
    std::vector<std::string> names;
    const int columns = std::clamp<int>(results.gridCols, 0, Form4::kMaxColumns);
    for (int i = 0, k = 0; i < columns; ++i)
        if (results.ColumnSelected[i] == 1)
            names.push_back(results.ColumnNameBySequence[k++]);
    std::string sql, error;
    // The students the window shows, whatever a later query or "Generate all résumés" left in QueryCondition
    // and FreePercent.
    const Selection& selection = results.selection();
    if (!query::BuildSaveSql(names, selection.condition, sql, error)) {
        tellNotSaved(control, error);
        return;
    }
    query::ResultTable saved;
    db::Failure failure;
    bool ran = false;
    RunWork(control, "Reading the students to save", false, [&](WorkProgress&) {
        ran = query::RunOverSelection(control.config.DatabasePath, selection, sql, saved, failure);
    });
    if (!ran) {
        tellNotSaved(control, failure.description);
        return;
    }

    ShownResult shown{results, results.result()};
    const long records = saved.recordCount();
    if (records == 0)
        if (auto* generate = results.findChild<QPushButton*>("Command2"))
            generate->setEnabled(false);
    results.showResult(saved);
    if (auto* count = results.findChild<QLabel*>("Label2"))
        count->setText(QString::number(records));
    results.gridCols = static_cast<int16_t>(saved.fieldCount());
    results.gridRows = static_cast<int16_t>(records);

    const QString titleText = results.findChild<QLineEdit*>("Text1") ? results.findChild<QLineEdit*>("Text1")->text()
                                                                     : QString();
    results.PageTitle = results.SkipPageTitle ? std::string() : titleText.toStdString();
    // Only a box the user may change decides; a disabled one keeps the breaks off.
    if (auto* pageBreaks = results.findChild<QCheckBox*>("Check1"); pageBreaks && pageBreaks->isEnabled())
        results.NoPageBreak = pageBreaks->isChecked();

    const query::SaveLayout layout{results.PageTitle, results.NoTables, results.NoPageBreak,
                                   results.Delimit.empty() ? std::string("Space") : results.Delimit};
    const QString suggested = QString::fromStdString(query::DefaultSaveFileName(titleText.toStdString()));
    const QString path = saveFileChooser() ? saveFileChooser()(&results, suggested) : askWithDialog(&results, suggested);
    if (path.isEmpty())
        return;  // the officer cancelled: nothing to tell
    if (const std::string refused = RefusedOutput(control, path.toStdString()); !refused.empty()) {
        tellNotSaved(control, refused);
        return;
    }
    // A PDF takes LibreOffice several seconds; stopping it is safe, as nothing is written until the end.
    const bool pdf = query::SaveFormatFor(path.toStdString()) == query::SaveFormat::Pdf;
    bool written = false;
    const bool finished = RunWork(control, pdf ? "Saving the results as PDF" : "Saving the results", pdf,
                                  [&](WorkProgress& progress) {
                                      written = query::WriteResults(saved, layout, path.toStdString(), error,
                                                                    [&progress] { return progress.cancelled(); });
                                  });
    if (!finished)
        return;  // cancelled: nothing was written, and the officer knows why
    if (!written) {
        tellNotSaved(control, error);
        return;
    }
    control.session.Messages->show("Information Saved. ", "Success", MsgIcon::Information, MsgButtons::OK);
}

}  // namespace kyt

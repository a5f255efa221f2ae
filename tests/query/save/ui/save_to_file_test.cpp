#include <QAbstractItemModel>
#include <QPushButton>
#include <QTableView>
#include <filesystem>

#include "../docx_outline.h"
#include "query/ui/save_to_file.h"
#include "save_windows.h"
#include "shell/ui/qt_message_service.h"
#include "support/file_size_limit.h"
#include "support/real_dialogs.h"

using namespace kyt;
using kyt::test::docxOutline;
using kyt::test::SaveWindows;
namespace fs = std::filesystem;

class SaveToFileTest : public SaveWindows {
protected:
    void SetUp() override
    {
        SaveWindows::SetUp();
        Form4::setOpener(state, "Command3", [this](Form4& f) { SaveResultsToFile(state, f); });
        Form4::setOpener(state, "Command4", [this](Form4& f) { options = Form6::open(state, f); });
        // The dialog's answer, and what the grid showed while it was asked.
        saveFileChooser() = [this](QWidget*, const QString& suggested) {
            suggestedName = suggested.toStdString();
            gridWhileSaving = {grid()->columnCount(), grid()->rowCount()};
            if (diskFullAfterDialog)  // the disk fills between the query and the write
                fullDisk = std::make_unique<test::FileSizeLimit>(512);
            return QString::fromStdString(answer);
        };
    }

    std::string save(const std::string& name)
    {
        answer = name.empty() ? std::string() : dir.file(name);
        messages.clear();
        test::click(results.get(), "Command3");
        fullDisk.reset();
        return answer;
    }
    QAbstractItemModel* grid() { return test::control<QTableView>(results.get(), "DataGrid1")->model(); }

    std::string answer;
    std::string suggestedName;
    std::pair<int, int> gridWhileSaving;
    bool diskFullAfterDialog = false;
    std::unique_ptr<test::FileSizeLimit> fullDisk;
};

TEST_F(SaveToFileTest, GridShowsTheSaveQueryWhileWritingAndTheResultAfter)
{
    showResult();
    test::control<QLineEdit>(results.get(), "Text1")->setText("Placements: CS/EC");
    test::click(results.get(), "Command4");
    ASSERT_TRUE(options);
    test::click(options, "Check1_2");  // no percentage
    options->Text1(0)->setText("1");
    options->Text1(1)->setText("0");
    test::click(options, "Command2");

    const std::string path = save("list.docx");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, "Information Saved. ");
    EXPECT_EQ(messages.last().title, "Success");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_EQ(suggestedName, "Placements  CS EC.docx");
    EXPECT_EQ(gridWhileSaving, std::make_pair(3, 3));
    EXPECT_EQ(docxOutline(path),
              (std::vector<std::string>{
                  "P c|Placements: CS/EC", "P c|",
                  "T *Name,USN,Email / ,, / Student 1QP22CS001,1QP22CS001,1QP22CS001@example.com / "
                  "Student 1QP22CS002,1QP22CS002,1QP22CS002@example.com",
                  "P c^|Placements: CS/EC", "P c|",
                  "T *Name,USN,Email / ,, / Student 1QP22EC001,1QP22EC001,1QP22EC001@example.com", "P |"}));
    EXPECT_EQ(results->gridCols, 4);
    EXPECT_EQ(results->result().fields, (std::vector<std::string>{"USN", "Name", "Percent1To6", "Email"}));
    EXPECT_EQ(grid()->columnCount(), 4);
}

TEST_F(SaveToFileTest, PageBreakBoxTickedOrRankingByTheAggregateGivesOneTable)
{
    const auto tables = [](const std::vector<std::string>& outline) {
        return std::count_if(outline.begin(), outline.end(), [](auto& l) { return l[0] == 'T'; });
    };
    showResult();
    pageBreakBox()->setChecked(true);
    EXPECT_EQ(tables(docxOutline(save("ticked.docx"))), 1);
    pageBreakBox()->setChecked(false);
    EXPECT_EQ(tables(docxOutline(save("unticked.docx"))), 2) << "unticked, the branches get their pages again";
    showResult(false);
    EXPECT_EQ(tables(docxOutline(save("ranked.docx"))), 1);
}

TEST_F(SaveToFileTest, CancelledDialogFullDiskAndBadChoiceAreNotSaved)
{
    showResult();
    const std::string notSaved = "Information Not Saved. ";
    save("");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, notSaved);
    EXPECT_EQ(messages.last().title, "Possible Error");
    EXPECT_EQ(messages.last().icon, MsgIcon::Exclamation);

    diskFullAfterDialog = true;
    save("full.docx");
    diskFullAfterDialog = false;
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text.rfind(notSaved + "\r\n", 0), 0u) << messages.last().text;
    EXPECT_NE(messages.last().text.find("File too large"), std::string::npos) << messages.last().text;
    EXPECT_FALSE(fs::exists(dir.file("full.docx")));

    save("list.xlsx");
    EXPECT_EQ(messages.last().text.rfind(notSaved, 0), 0u);
    EXPECT_FALSE(fs::exists(dir.file("list.xlsx")));
    // Every case put the shown result back.
    EXPECT_EQ(results->gridCols, 4);
    EXPECT_EQ(grid()->columnCount(), 4);
}

TEST_F(SaveToFileTest, RealSaveDialogAndMessageBox)
{
    showResult();
    saveFileChooser() = nullptr;  // the program's own dialog
    QtMessageService real;
    state.session.Messages = &real;
    test::RealDialogs dialogs;
    dialogs.chooseFile(QString::fromStdString(dir.file("from the dialog"))).click(QMessageBox::Ok);
    test::click(results.get(), "Command3");
    state.session.Messages = &messages;
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(1).text, "Information Saved. ");
    EXPECT_EQ(dialogs.seen().at(1).title, "Success");
    EXPECT_EQ(docxOutline(dir.file("from the dialog.docx")).at(0), "P c|Student List");
}

#pragma once
// The target format window: the officer picks the company's format document (and, if wanted, a folder
// for one file per student); OK runs the résumé generator and the window goes.

#include <QWidget>
#include <memory>
#include <optional>

#include "merge/generate_resumes.h"
#include "shell/control.h"

namespace kyt {
class FolderList;
}
class QListWidgetItem;

namespace Ui {
class FormatFile;
}

namespace kyt {

class FormatFile : public QWidget {
    Q_OBJECT

public:
    // `hooks` connect the generator to the main menu and the query results window; an empty
    // AskOutputFile is replaced by the save dialog. `selection`: the students of the results window that
    // opened this one; without it, those of QueryCondition (every student after "Generate all résumés").
    FormatFile(Control& control, GenerateHooks hooks, std::optional<Selection> selection = std::nullopt,
               QWidget* parent = nullptr);
    ~FormatFile() override;

    // Shows a new target format window (it is unloaded after each use) over `opener` (the main menu when
    // none is given) and registers it.
    static FormatFile* open(Control& control, GenerateHooks hooks, std::optional<Selection> selection = std::nullopt,
                            const QWidget* opener = nullptr);

    QString folder() const;
    const GenerateResult& lastResult() const { return result_; }

    void Drive1_Change(int index);
    void Dir1_Change();
    void File1_DblClick(QListWidgetItem* item);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

private:
    void Form_Load();
    void goToFolder(const QString& path);
    void tell(const std::string& text);

    std::unique_ptr<Ui::FormatFile> ui;
    Control& control_;
    GenerateHooks hooks_;
    std::optional<Selection> selection_;
    FolderList* folders_;
    GenerateResult result_;
};

}  // namespace kyt

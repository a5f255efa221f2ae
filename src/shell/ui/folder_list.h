#pragma once
// A folder list (a QTreeView of a form) over the file system: it opens at a chosen folder, expanded and
// scrolled into view, and keeps it in view while the folders around it are still being read, until the
// officer scrolls, expands, collapses or picks another folder. The extraction window and the target
// format window use it.

#include <QObject>
#include <QString>

class QFileSystemModel;
class QTreeView;

namespace kyt {

class FolderList : public QObject {
    Q_OBJECT

public:
    // Fills `view` with the folders of the whole file system (files too with `withFiles`); the view keeps
    // its own object name and place in the form.
    explicit FolderList(QTreeView* view, bool withFiles = false);

    // Makes `path` current, expanded to and scrolled into view. Returns false, changing nothing, when it
    // is not a folder.
    bool showFolder(const QString& path);
    // The current folder's path, or empty.
    QString currentPath() const;

signals:
    // The current folder changed, by the officer or by showFolder.
    void currentChanged(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reveal();
    void stopRevealing() { target_.clear(); }

    QTreeView* view_;
    QFileSystemModel* model_;
    QString target_;  // the folder kept in view while the list is still being read; empty once the officer acts
    bool revealing_ = false;
};

}  // namespace kyt

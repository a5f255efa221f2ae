#include "shell/ui/folder_list.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QScrollBar>
#include <QTreeView>

#include "shell/ui/file_views.h"

namespace kyt {

FolderList::FolderList(QTreeView* view, bool withFiles) : QObject(view), view_(view), model_(new QFileSystemModel(this))
{
    showNamesOnly(model_);
    model_->setFilter(withFiles ? QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot
                                : QDir::AllDirs | QDir::NoDotAndDotDot);
    model_->setRootPath(QDir::rootPath());
    view_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        view_->hideColumn(column);

    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        const QString path = model_->filePath(index);
        if (!revealing_ && path != target_)
            stopRevealing();
        emit currentChanged(path);
    });
    // The folders are read in the background: every folder read above the chosen one inserts rows and
    // sorts them, which pushes the chosen one out of view. It is brought back each time.
    connect(model_, &QAbstractItemModel::rowsInserted, this, &FolderList::reveal);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &FolderList::reveal);
    connect(model_, &QFileSystemModel::directoryLoaded, this, &FolderList::reveal);
    // Once the officer moves about the list, it stays where the officer put it.
    connect(view_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &FolderList::stopRevealing);
    connect(view_, &QTreeView::expanded, this, [this] {
        if (!revealing_)
            stopRevealing();
    });
    connect(view_, &QTreeView::collapsed, this, [this] {
        if (!revealing_)
            stopRevealing();
    });
    // Scrolling means nothing before the list has its size on the screen.
    view_->viewport()->installEventFilter(this);
}

bool FolderList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_->viewport() && (event->type() == QEvent::Show || event->type() == QEvent::Resize))
        reveal();
    return QObject::eventFilter(watched, event);
}

bool FolderList::showFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!QFileInfo(clean).isDir() || !model_->index(clean).isValid())
        return false;
    target_ = clean;
    reveal();
    return true;
}

QString FolderList::currentPath() const
{
    const QModelIndex index = view_->currentIndex();
    return index.isValid() ? model_->filePath(index) : QString();
}

void FolderList::reveal()
{
    if (target_.isEmpty() || revealing_)
        return;
    const QModelIndex index = model_->index(target_);
    if (!index.isValid())
        return;
    revealing_ = true;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        view_->expand(parent);
    if (view_->currentIndex() != index)
        view_->setCurrentIndex(index);
    view_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    revealing_ = false;
}

}  // namespace kyt

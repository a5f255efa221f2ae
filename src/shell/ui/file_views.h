#pragma once
// Every view of the file system in Kyt's windows (folder lists, file dialogs) goes through here, so that
// none of them ever opens a file it shows. Qt's own icons and file types look into a file's content, which
// opens and closes it; when that file is the database (or its -wal, -shm, -journal), the close drops the
// database engine's locks for the whole program, and another program using the database then takes it
// for unused and deletes its log. Here icons and types are decided by kind and name only, and dialogs are
// Qt's own, never the desktop's (a desktop dialog in the program reads content too).

#include <QFileDialog>
#include <QString>

class QFileSystemModel;
class QWidget;

namespace kyt {

// Makes `model` decide icons and types by name only; call it before the model is given a path.
void showNamesOnly(QFileSystemModel* model);

// The file dialogs of the windows, as QFileDialog's static functions take them. `start` is a folder or a
// file in it; empty when nothing was chosen.
QString askOpenFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter);
QString askSaveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter,
                        QString* selectedFilter = nullptr, QFileDialog::Options options = {});
QString askExistingDirectory(QWidget* parent, const QString& caption, const QString& start);

}  // namespace kyt

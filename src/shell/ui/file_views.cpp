#include "shell/ui/file_views.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMimeDatabase>

namespace kyt {

namespace {

class NameOnlyIcons : public QFileIconProvider {
public:
    NameOnlyIcons() { setOptions(DontUseCustomDirectoryIcons); }

    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isRoot())
            return icon(Drive);
        if (info.isDir())
            return icon(Folder);
        const QMimeType mime = byName(info);
        return QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), icon(File)));
    }

    QString type(const QFileInfo& info) const override
    {
        if (info.isRoot())
            return QStringLiteral("Drive");
        if (info.isDir())
            return QStringLiteral("Folder");
        const QMimeType mime = byName(info);
        return mime.isDefault() ? QStringLiteral("File") : mime.comment();
    }

private:
    // The glob patterns of the name, never the content.
    static QMimeType byName(const QFileInfo& info)
    {
        const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(info.fileName());
        return types.isEmpty() ? QMimeDatabase().mimeTypeForName(QStringLiteral("application/octet-stream"))
                               : types.first();
    }
};

// One for the whole program, never destroyed: models and dialogs keep a pointer to it to their end.
QAbstractFileIconProvider* nameOnlyIcons()
{
    static auto* icons = new NameOnlyIcons;
    return icons;
}

QString ask(QWidget* parent, const QString& caption, const QString& start, const QString& filter,
            QFileDialog::AcceptMode accept, QFileDialog::FileMode mode, QFileDialog::Options options,
            QString* selectedFilter = nullptr)
{
    const QFileInfo given(start);
    const bool isFolder = start.isEmpty() || given.isDir();
    // The folder only at first: a file selected before the icons are ours would be looked into.
    QFileDialog dialog(parent, caption, isFolder ? start : given.absolutePath());
    dialog.setOptions(options | QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons);
    dialog.setIconProvider(nameOnlyIcons());
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    if (!filter.isEmpty())
        dialog.setNameFilter(filter);
    if (selectedFilter && !selectedFilter->isEmpty())
        dialog.selectNameFilter(*selectedFilter);
    if (!isFolder)
        dialog.selectFile(given.fileName());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().value(0);
}

}  // namespace

void showNamesOnly(QFileSystemModel* model)
{
    model->setIconProvider(nameOnlyIcons());
    model->setOption(QFileSystemModel::DontUseCustomDirectoryIcons);
}

QString askOpenFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter)
{
    return ask(parent, caption, start, filter, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, {});
}

QString askSaveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter,
                        QString* selectedFilter, QFileDialog::Options options)
{
    return ask(parent, caption, start, filter, QFileDialog::AcceptSave, QFileDialog::AnyFile, options, selectedFilter);
}

QString askExistingDirectory(QWidget* parent, const QString& caption, const QString& start)
{
    return ask(parent, caption, start, {}, QFileDialog::AcceptOpen, QFileDialog::Directory, QFileDialog::ShowDirsOnly);
}

}  // namespace kyt

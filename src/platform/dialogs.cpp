#include "dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
Dialogs realDialogs;
Dialogs *installedDialogs = &realDialogs;
} // namespace

void Dialogs::message(const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

QString Dialogs::existingDirectory(QWidget *parent, const QString &caption,
                                   const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(parent, caption, startFolder);
}

QString Dialogs::openFileName(QWidget *parent, const QString &caption, const QString &startFolder,
                              const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, startFolder, filter);
}

QStringList Dialogs::openFileNames(QWidget *parent, const QString &caption,
                                   const QString &startFolder, const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, startFolder, filter);
}

Dialogs &Dialogs::current()
{
    return *installedDialogs;
}

void Dialogs::replace(Dialogs *dialogs)
{
    installedDialogs = dialogs ? dialogs : &realDialogs;
}

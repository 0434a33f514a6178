#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Message boxes and file or folder choices. Windows ask this seam instead of
// opening dialogs themselves, so tests can answer in place of a person.
// The base class shows the real Qt dialogs.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // An information box with one OK button and no owner window.
    virtual void message(const QString &text, const QString &caption);
    // Returns the chosen folder, or an empty string when the user cancels.
    virtual QString existingDirectory(QWidget *parent, const QString &caption,
                                      const QString &startFolder);
    // Returns the chosen file, or an empty string when the user cancels.
    virtual QString openFileName(QWidget *parent, const QString &caption,
                                 const QString &startFolder, const QString &filter);

    // Returns the chosen files, in the order chosen, or none when the user cancels.
    virtual QStringList openFileNames(QWidget *parent, const QString &caption,
                                      const QString &startFolder, const QString &filter);

    static Dialogs &current();
    // Installs a test double; nullptr restores the real dialogs. Not owned.
    static void replace(Dialogs *dialogs);
};

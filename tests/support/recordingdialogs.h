#pragma once

#include <QStringList>

#include "platform/dialogs.h"

// Answers dialogs in place of a person and records the messages shown;
// installed for its lifetime.
class RecordingDialogs : public Dialogs
{
public:
    RecordingDialogs() { Dialogs::replace(this); }
    ~RecordingDialogs() override { Dialogs::replace(nullptr); }

    void message(const QString &text, const QString &caption) override
    {
        m_messages.append(caption + QLatin1Char('|') + text);
    }
    QString existingDirectory(QWidget *, const QString &, const QString &) override
    {
        return m_chosenFolder;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return m_chosenFile;
    }

    QStringList openFileNames(QWidget *, const QString &, const QString &, const QString &) override
    {
        return m_chosenFiles;
    }

    QStringList m_messages;
    QString m_chosenFolder;
    QString m_chosenFile;
    QStringList m_chosenFiles;
};

#pragma once

#include <QStringList>

#include "platform/programlauncher.h"

// Records what would have been started, starts nothing; installed for its lifetime.
class RecordingLauncher : public ProgramLauncher
{
public:
    struct Launch
    {
        QString target;
        QString parameters;
        ShowState show;
    };

    RecordingLauncher() { ProgramLauncher::replace(this); }
    ~RecordingLauncher() override { ProgramLauncher::replace(nullptr); }

    bool open(const QString &target, const QString &parameters, ShowState show) override
    {
        m_launches.append({target, parameters, show});
        return true;
    }

    QList<Launch> m_launches;
};

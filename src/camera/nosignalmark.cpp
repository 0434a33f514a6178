#include "nosignalmark.h"

#include <algorithm>

NoSignalMark::NoSignalMark(QWidget *parent) : QLabel(QStringLiteral("无信号  No signal"), parent)
{
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    connect(&m_timer, &QTimer::timeout, this, &NoSignalMark::check);
    m_timer.start(checkMs);
}

void NoSignalMark::check()
{
    const quint64 frames = m_frames;
    if (frames != m_framesSeen) {
        m_framesSeen = frames;
        m_silentChecks = 0;
        hide();
        return;
    }
    // Before the first frame the camera is starting, not lost.
    if (frames == 0 || ++m_silentChecks < silentChecks || isVisible())
        return;
    // The library's mark: bold, a fourteenth of the picture's height, light red on
    // translucent black, centred.
    const int height = parentWidget()->height();
    setStyleSheet(QStringLiteral("font-weight: bold; font-size: %1px; color: rgb(255, 80, 60); "
                                 "background: rgba(0, 0, 0, 190); padding: 12px 24px;")
                      .arg(std::max(14, height / 14)));
    adjustSize();
    move(parentWidget()->rect().center() - rect().center());
    show();
    raise();
}

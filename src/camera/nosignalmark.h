#pragma once

#include <QLabel>
#include <QTimer>

#include <atomic>

// The "no signal" mark over the presenter's live picture, looking as the camera
// library paints it into its own windows: shown once no frame has come for a
// second (the camera was pulled out or stopped), gone as soon as frames come back.
class NoSignalMark : public QLabel
{
public:
    // Centred over parent; hidden until frames that came stop coming.
    explicit NoSignalMark(QWidget *parent);

    // Any thread: a frame came from the camera.
    void frameArrived() { ++m_frames; }

    static constexpr int checkMs = 250;
    static constexpr int silentChecks = 4; // a second without a frame

private:
    void check();

    QTimer m_timer;
    std::atomic<quint64> m_frames = 0;
    quint64 m_framesSeen = 0;
    int m_silentChecks = 0;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>

#include "videopicture.h"

namespace optrelle {

// Paints a camera's video into a widget of the program, over whatever the widget
// paints itself. Lives on the GUI thread; frameArrived() may be called from any
// thread. At most one repaint request is queued at a time and each paint takes
// the newest picture, so a slow screen drops frames instead of queueing them.
class VideoRenderer : public QObject
{
    Q_OBJECT

public:
    explicit VideoRenderer(std::function<VideoPicture()> picture);
    ~VideoRenderer() override;

    // Leaves the previous widget (which repaints itself) and paints into target
    // (may be null). A destroyed target is left by itself.
    void setTarget(QWidget *target);
    QWidget *target() const { return m_target; }

    // Any thread.
    void frameArrived();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<VideoPicture()> m_picture;
    QPointer<QWidget> m_target;
    std::atomic<bool> m_hasTarget = false;
    std::atomic<bool> m_repaintQueued = false;
};

} // namespace optrelle

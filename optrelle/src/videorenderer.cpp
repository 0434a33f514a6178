#include "videorenderer.h"

#include "videopainter.h"

#include <QEvent>
#include <QPainter>

namespace optrelle {

VideoRenderer::VideoRenderer(std::function<VideoPicture()> picture) : m_picture(std::move(picture))
{
}

VideoRenderer::~VideoRenderer()
{
    setTarget(nullptr);
}

void VideoRenderer::setTarget(QWidget *target)
{
    if (target == m_target)
        return;
    if (m_target) {
        m_target->removeEventFilter(this);
        m_target->update();
    }
    m_target = target;
    m_hasTarget = target != nullptr;
    if (m_target) {
        m_target->installEventFilter(this);
        m_target->update();
    }
}

void VideoRenderer::frameArrived()
{
    if (!m_hasTarget || m_repaintQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintQueued = false;
            if (m_target)
                m_target->update();
        },
        Qt::QueuedConnection);
}

bool VideoRenderer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_target || event->type() != QEvent::Paint)
        return false;
    // The widget's own painting is replaced: the video covers the whole widget.
    QPainter painter(m_target);
    paintVideo(painter, m_target->rect(), m_picture());
    return true;
}

} // namespace optrelle

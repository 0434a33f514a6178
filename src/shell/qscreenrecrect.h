#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

// A translucent, frameless, always-on-top frame marking a region of the screen.
// Its four edge handles resize it, its inside moves it, the close icon in its
// bottom-right corner hides it. The launcher creates one, hidden; recording
// itself is the separate recorder program's business.
class QScreenRecRect : public QWidget
{
    Q_OBJECT

public:
    // The areas a press can start in, in widget coordinates.
    struct Handles
    {
        QRect moveArea;
        QRect left;
        QRect top;
        QRect right;
        QRect bottom;
        QRect close;
        QRect config;
    };
    // Edge handles 21 pixels deep and 17 long, centred on each edge; the icons are
    // 21 pixels square, 2 pixels in from the bottom-right corner.
    static Handles handlesFor(const QSize &size);

    // An edge drag that would leave this width or height, or less, is ignored.
    static constexpr int tooSmall = 106;

    explicit QScreenRecRect(QWidget *parent = nullptr);

    const Handles &handles() const { return m_handles; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // Every size change, by a drag or from outside, lays the handles out afresh.
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutHandles();

    bool m_bPressed = false;
    QPoint m_ptPress; // where the drag started, moved along by right and bottom drags
    Handles m_handles;
};

#pragma once

#include <QPoint>
#include <QWidget>

#include <memory>

#include "optrelle.h"

namespace Ui {
class QSubCamWidget;
}
struct SettingsStrings;

// A small always-on-top window with the live video of the secondary camera (or of
// the main one while the presenter has swapped them) and buttons to turn it, take
// a photo and close. Dragged with the left button; a double click maximizes and
// restores it. Created by the presenter on first use, destroyed with it.
class QSubCamWidget : public QWidget
{
    Q_OBJECT

public:
    // Photos go where the settings say, as the presenter's.
    explicit QSubCamWidget(const SettingsStrings &settings, QWidget *parent = nullptr);
    ~QSubCamWidget() override;

    // The camera this window commands from now on; its video is painted into the
    // preview area.
    void openCamera(int camera);
    OptrelleWindowId previewWinId();
    int camera() const { return m_nCamera; }

public Q_SLOTS:
    void onRotLeft();
    void onRotRight();
    void onCapture();
    void onClose();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    std::unique_ptr<Ui::QSubCamWidget> ui;
    bool m_bDragging = false;
    QPoint m_dragOffset;
    int m_nCamera = -1;
    const SettingsStrings &m_settings;
};

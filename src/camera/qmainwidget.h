#pragma once

#include <QByteArray>
#include <QWidget>

#include <atomic>
#include <memory>

#include "camera/liveframebuffer.h"
#include "camera/commandbarlayout.h"
#include "platform/copydatalistener.h"

namespace Ui {
class QMainWidget;
}
class QGraphicsScene;
class QGraphicsTextItem;
class QGraphicsView;
class QBottomLayer;
class QFocusWidget;
class QImageItem;
class NoSignalMark;
class QSnapWidget;
class QSubCamWidget;
class QTopLayer;
struct SettingsStrings;

// The presenter view: the full-screen live picture of the main document camera,
// with its command bar. It finds the cameras, opens the main one (the library
// paints that camera's own video into the snapshot window), draws every frame the
// camera hands over, takes stills and obeys the annotation program's commands,
// which reach it as "DuzeVovad". One instance, created by the launcher, which
// connects its signals.
class QMainWidget : public QWidget
{
    Q_OBJECT

public:
    // Ends the process with a message when no camera of a known model is plugged in.
    // Photos go where settings say; the settings dialog changes them.
    explicit QMainWidget(SettingsStrings &settings, QWidget *parent = nullptr);
    ~QMainWidget() override;

    // Camera thread: keeps the newest frame and tells the GUI thread.
    void storeFrame(const void *data, int width, int height);

    // Stores a still of the main camera in the photo folder under a time-stamp
    // name, turned like the picture on screen; returns its path, empty when the
    // still failed (the user has been told).
    QString capturePhoto();

    // Shows the percentage of a zoom step for a moment.
    void showZoomScale(float scale);

    void fillResolutionList();

    // The main camera's optical zoom, for the zoom panel; automatic is never set.
    void getZoomRange(int &min, int &max, int &value, int &step, bool &automatic);
    void setZoomValue(int value, bool automatic);

    QSnapWidget *snapWidget() const { return m_pSnapWidget.get(); }
    QFocusWidget *focusWidget() const { return m_pFocusWidget.get(); }
    // Null until the secondary camera is first asked for.
    QSubCamWidget *subCamWidget() const { return m_pSubCamWidget.get(); }
    const LiveFrameBuffer &frameBuffer() const { return m_frameBuffer; }

    int m_nMainCam = -1;
    int m_nSubCam = -1;
    int m_nCamCount = 0;
    int m_nDevRotate = 0;     // from the rotation file; 90 and 270 take effect
    int m_nRotate = 0;        // of the view, also applied to stills
    int m_nShowMode = 0;      // 0 fit to the area, 1 real size
    int m_nResIndex = 0;      // resolution-list entry last applied
    bool m_bSwitched = false; // the two cameras' outputs are exchanged

Q_SIGNALS:
    // refit: the picture must be placed afresh.
    void frameChange(bool refit);
    // GUI thread: the full frame now shown, for the comparison window.
    void frameShown(const QPixmap &frame, bool refit);
    // The compare button: a fresh still beside the live picture.
    void compareAsked();
    // A double click beside the picture: the launcher bar goes to the other edge.
    void barSideAsked();

public Q_SLOTS:
    void OnFrameChange(bool refit);
    void OnLock();
    void onResolutionChange();
    void rotateLeft();
    void rotateRight();
    void onMin();
    void OnSnap();
    void OnFullSrn();
    void OnShowRealSize();
    void OnShowFitSize();
    void OnZoomIn();
    void OnZoomOut();
    // Runs a new settings dialog modally; it is gone when this returns.
    void onSettings();
    void onSubCam();
    void onCompare();
    void onReadBarcode();
    void onToggleFocus();
    void onRecord();
    void onOpenFolder();
    void onCapture();
    void onSpotlight();
    void onSwitch();

protected:
    void timerEvent(QTimerEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildPictureStage();
    void createFloatingTools();
    void createSpotlight();
    void openSubCamWidget();
    void findCameras();
    void openMainCamera();
    void connectSignals();
    void placePicture(int width, int height);
    void showPictureLevel(bool newFrame);
    void layoutButtons();
    void applyButtonIcons();
    void onAnnotationCommand(const QByteArray &text);

    std::unique_ptr<Ui::QMainWidget> ui;
    QImageItem *m_pItem = nullptr;
    QGraphicsView *m_pView = nullptr;
    QGraphicsScene *m_pScene = nullptr;
    QGraphicsTextItem *m_pZoomText = nullptr;
    SettingsStrings &m_settings;
    // Floating windows without a parent. The mask goes after its input window,
    // which points at it.
    std::unique_ptr<QSnapWidget> m_pSnapWidget;
    std::unique_ptr<QFocusWidget> m_pFocusWidget;
    std::unique_ptr<QBottomLayer> m_pBottomLayer;
    std::unique_ptr<QTopLayer> m_pTopLayer;
    std::unique_ptr<QSubCamWidget> m_pSubCamWidget;
    NoSignalMark *m_pNoSignalMark = nullptr; // a child of the view
    CopyDataListener m_commandListener;

    LiveFrameBuffer m_frameBuffer;
    LiveFrameBuffer::Frame m_shownFrame;
    LiveFrameBuffer::Frame m_spareFrame; // the one shown before, handed back for a later frame
    bool m_showingLevel = false;
    bool m_compareRefit = false; // owed to the comparison window with the next full frame
    std::atomic<bool> m_bLocked = false;
    QByteArray m_mainPid, m_mainVid;

    int m_nZoomTipTicks = 0;
    int m_nTimerId = 0;
    int m_nBtnSize = 40, m_nIconSize = 38, m_nMargin = 0;
    int m_nSpacing = commandBarSpacing;
    int m_nProcAmpBackup = 0; // 0 while picture mode is on
};

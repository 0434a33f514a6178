#pragma once

#include <QMainWindow>

#include <array>
#include <memory>

#include "platform/copydatalistener.h"
#include "shell/settingsstrings.h"

namespace Ui {
class KelvoraClass;
}
class QPushButton;
class QMainWidget;
class QCompareImage;
class QImageViewWidget;
class QScreenRecRect;
class QVideoWidget;

// The launcher: a narrow, frameless, always-on-top bar of eight icon buttons at a
// screen edge that switches between the tool windows and starts the outside
// programs. It holds the settings strings and hands them to the windows that
// read or change them. One instance per process, created by main().
class Kelvora : public QMainWindow, public SettingsStrings
{
    Q_OBJECT

public:
    Kelvora();
    ~Kelvora() override;

    // Moves the bar to the other screen edge.
    void toggleBarSide();
    // Hides the presenter view and its snapshot window and opens the comparison
    // window: mode 0 plain, mode 1 paired (a fresh still beside the live picture).
    void showCompareWindow(int mode);
    // Another start of the program asked for this one: the presenter view and the
    // bar come to the front, as after the presenter button.
    void bringToFront();

    // The image viewer, created once without a parent; never deleted, it ends with
    // the process. The comparison window and its cells show pictures in it.
    QImageViewWidget *m_pImageViewWidget = nullptr;

public Q_SLOTS:
    void OnExit();
    void OnGotoDesktop();
    void OnShowVisualizer();
    void OnCompare();
    void OnSnap();
    void OnRecSrn();
    void OnOpenPPT();
    void OnShowVideo();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutButtons();
    void applyButtonIcons();
    // The native window id the launcher's commands carry.
    quint64 windowId();
    void clearAnnotationScreen();
    void loadWorkDirAndConfig();
    // A command from the annotation program; runs on the GUI thread.
    void onAnnotationCommand(const QByteArray &text);
    void createPresenterView();
    void createToolWindows();
    void showPresenterWindows(bool presenter, bool snapshot);

    std::unique_ptr<Ui::KelvoraClass> ui;
    std::array<QPushButton *, 8> m_buttons{};   // in row order, top to bottom
    std::unique_ptr<QMainWidget> m_pMainWidget; // destroyed by OnExit
    QScreenRecRect *m_pScreenRec = nullptr;     // never deleted: lives until the process ends
    QCompareImage *m_pCompare = nullptr;        // never deleted: ends with the process
    QVideoWidget *m_pVideoWidget = nullptr;     // the scanner window; lives as long as the process
    CopyDataListener m_commandListener;
    quint64 m_windowId = 0; // kept from while the window exists

    int m_nDeskWidth = 0;
    int m_nDeskHeight = 0;
    int m_nBarX = 0; // 0: the bar stands at the left edge; any other value: right edge
    int m_nButtonHeight = 30;
    int m_nIconHeight = 28;
    int m_nButtonSpacing = 2;
};

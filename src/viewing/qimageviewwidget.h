#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class QImageViewWidget;
}
class QCellItem;
class QCompView;
class QGraphicsScene;
class QImageItem;

// The full-screen image viewer: one zoomable, movable picture with two ways back,
// the "X" in the top right corner and a return icon near the bottom centre.
// A comparison cell sends its picture here, and while a live cell is in full
// screen the comparison window sends it that cell's frames. Hiding the viewer
// gives the live picture back to the cell. One instance, created by the launcher;
// GUI thread only.
class QImageViewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit QImageViewWidget(QWidget *parent = nullptr);
    ~QImageViewWidget() override;

    // Shows the viewer with a live frame; refit places it afresh, otherwise it keeps
    // the zoom, turn and position the picture has.
    void showImage(const QPixmap &picture, bool refit);
    // Shows the viewer with the picture of a file, under whatever transform the
    // picture has (at first 1:1 from the top-left corner). An unreadable file
    // shows nothing.
    void showFile(const QString &path);

    // The cell whose live picture was routed here last. Guarded: the comparison
    // window destroys its cells at every rebuild.
    QPointer<QCellItem> m_pCell;

public Q_SLOTS:
    void OnClose();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    std::unique_ptr<Ui::QImageViewWidget> ui;
    QCompView *m_pView = nullptr;
    QImageItem *m_pItem = nullptr;
    QGraphicsScene *m_pScene = nullptr;
    QImageItem *m_pReturnItem = nullptr; // owned by the scene; a press hides the viewer
};

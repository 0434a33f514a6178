#pragma once

#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class QCellItem;
}
class QCompView;
class QGraphicsScene;
class QImageItem;
struct CompareSources;

// One cell of the comparison window: a picture area above a bar of seven icon
// buttons. It shows a picture file, a still just taken, or the live camera
// picture, zoomed and turned on its own, and can send its picture to the image
// viewer. Created and destroyed only by the comparison window; GUI thread only.
class QCellItem : public QWidget
{
    Q_OBJECT

public:
    QCellItem(const CompareSources &sources, QWidget *parent);
    ~QCellItem() override;

    // Takes a still with the presenter camera and shows it fitted.
    void showSnapshot();
    // A live frame; the first one after the cell went live is fitted to the
    // picture area, later ones keep the zoom and turn.
    void showLiveFrame(const QPixmap &frame);
    // False hides the seven buttons and leaves the empty bar in place.
    void setButtonsVisible(bool visible);

    QImageItem *pictureItem() const { return m_pItem; }
    QWidget *pictureArea() const;
    const QString &fileName() const { return m_strFileName; }

    bool m_bLive = false;       // the comparison window hands it every frame
    bool m_bFullScreen = false; // its picture went to the viewer, and so do its live frames
    bool m_bFitPending = false; // the next live frame is to be fitted

public Q_SLOTS:
    void onOpen();
    void rotateLeft();
    void rotateRight();
    void OnShowFullSrn();
    void OnZoomIn();
    void OnZoomOut();
    void OnShowCamImage();

protected:
    // Reached over the button bar; over the picture the view takes the wheel.
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showFitted(const QString &path);

    std::unique_ptr<Ui::QCellItem> ui;
    QCompView *m_pView = nullptr;
    QImageItem *m_pItem = nullptr; // owned by the scene
    QGraphicsScene *m_pScene = nullptr;
    QString m_strFileName;
    const CompareSources &m_sources; // the comparison window's, which outlives its cells
};

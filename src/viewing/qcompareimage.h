#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <memory>

#include "viewing/comparesources.h"

namespace Ui {
class QCompareImage;
}
class QCellItem;

// The full-screen comparison window: a grid of 1, 2, 3, 4 or 16 cells, each
// showing a picture file, a fresh still or the live picture, above a bar with
// the layout buttons and a folder to open. The launcher opens it plain or paired
// (a fresh still beside the live picture) and hands it every live frame.
// One instance, created by the launcher; GUI thread only.
class QCompareImage : public QWidget
{
    Q_OBJECT

public:
    explicit QCompareImage(QWidget *parent = nullptr);
    ~QCompareImage() override;

    // 0: two empty cells with the bar; 1: the bar hidden, a fresh still in the
    // first cell and the live picture in the second. Any other mode does nothing.
    void showMode(int mode);
    // A frame the presenter view displayed: to every live cell, or to the image
    // viewer for a live cell in full screen.
    void showLiveImage(const QPixmap &frame, bool refit);

    // Before the first showing: what the cells take stills and pictures from.
    void setSources(CompareSources sources) { m_sources = std::move(sources); }

    // The cells of the last rebuild, in grid order.
    const QList<QCellItem *> &cells() const { return m_listCells; }

public Q_SLOTS:
    void on1cell();
    void on2cell();
    void on3cell();
    void on4cell();
    void on16cell();
    void onBrowser();
    void onOpen();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Every rebuild starts from new, empty cells.
    void buildCells(int count);
    void chooseLayout(int count);

    QList<QCellItem *> m_listCells;
    std::unique_ptr<Ui::QCompareImage> ui;
    int m_nCellCount = 2; // last chosen with a layout button; used by every resize
    QString m_strPath;
    CompareSources m_sources;
};

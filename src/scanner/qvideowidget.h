#pragma once

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "scanner/pageturnwatcher.h"

namespace Ui {
class QVideoWidget;
}
class QMultiCapDialog;
struct SettingsStrings;

// The scanner workstation for a high-speed document camera: the main camera's
// live video, painted by the camera library into the preview area, and a side
// panel of document commands (stills into the capture folder, turning, zoom,
// timed series, PDF, text recognition, recording, two crop modes). Created
// once by the launcher, hidden; closing only hides it.
class QVideoWidget : public QWidget
{
    Q_OBJECT

public:
    // Stills go to the capture folder of settings, which the folder choice changes.
    explicit QVideoWidget(SettingsStrings &settings, QWidget *parent = nullptr);
    ~QVideoWidget() override;

    QMultiCapDialog *multiCapDialog() const { return m_pMultiCapDlg; }
    // A still into the capture folder, untold; the path it could not write, empty
    // on success. The timed series ends on a failure before it tells the user.
    QByteArray stillIntoFolder();

public Q_SLOTS:
    void onOpenFolder();
    void OnBrowser();
    void OnCapture();
    void OnRotLeft();
    void OnRotRight();
    void onAutoCrop();
    void OnTimerCap();
    void OnPDFCap();
    void onManualCrop();
    void onCloseWindow();
    void onOCR();
    void onRecord();
    void OnZoomIn();
    void OnZoomOut();
    // Capture by page turn: while on, one still each time a new page comes to rest.
    void onPageTurnCapture();
    // The stills of the batch (none: chosen in a file dialog) into one PDF.
    void onMergePDF();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    int mainCamera() const;
    QByteArray captureFolder() const;
    // A fresh JPEG still in the private temporary folder; empty when the camera
    // wrote none.
    QByteArray captureTemporaryStill(const QDateTime &time);
    void showRecordingStopped();
    // A recording that ended by itself (disk full, write error, camera gone):
    // the file is finished and the user told which and why.
    void checkRecordingRuns();
    // Looks at the presenter's newest frame for a page laid down.
    void watchForPageTurn();
    // Writes stills, JPEGs in order, as the pages of pdf, searchable when the box
    // says so; tells the user what failed. False when no PDF was written.
    bool writePdf(const QByteArrayList &stills, const QByteArray &pdf);

    std::unique_ptr<Ui::QVideoWidget> ui;
    SettingsStrings &m_settings;
    QMultiCapDialog *m_pMultiCapDlg = nullptr; // no parent; lives as long as the program
    QTimer m_recordingWatch;                   // runs while recording
    QByteArray m_recordingPath;
    PageTurnWatcher m_pageTurnWatcher;
    int m_nPageTurnStills = 0;
    QByteArrayList m_listBatch; // stills taken since the last merged PDF, in order
};

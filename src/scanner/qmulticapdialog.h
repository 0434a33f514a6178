#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class QMultiCapDialog;
}

// A timed series of stills with the scanner window's capture: the user sets the
// interval and the number of stills, starts the series and watches the count.
// The button's text holds the state: "启动" idle, "停止" running. Created once by
// the scanner window; a series goes on while the dialog is hidden.
class QMultiCapDialog : public QDialog
{
    Q_OBJECT

public:
    explicit QMultiCapDialog(QWidget *parent = nullptr);
    ~QMultiCapDialog() override;

    // Bounds of the two fields, so the timer's milliseconds always fit an int.
    static constexpr int maxInterval = 86400;
    static constexpr int maxPages = 9999;

public Q_SLOTS:
    void onTimerCap();
    void onSmartCap();
    void onTimeChanged();
    void onPagesChanged();
    void onStartCap();

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void endSeries();

    std::unique_ptr<Ui::QMultiCapDialog> ui;
    int m_nTimerId = 0;
    int m_nCount = 0;
    int m_nPages = 999;
    int m_nInterval = 3;
};

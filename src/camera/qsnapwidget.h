#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class QSnapWidget;
}

// A small always-on-top window with the main camera's live video. A press
// anywhere takes a still with the presenter's capture and at once drags the new
// file, so it can be dropped into any program that takes files. Created by the
// presenter view, shown by the launcher.
class QSnapWidget : public QWidget
{
    Q_OBJECT

public:
    explicit QSnapWidget(QWidget *parent = nullptr);
    ~QSnapWidget() override;

    // How long a press waits for the still's file before it gives up.
    static constexpr int stillWaitMs = 3000;

Q_SIGNALS:
    void snapSignal();

public Q_SLOTS:
    void mouseClick();
    void onHide();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::QSnapWidget> ui;
};

#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class QFocusWidget;
}

// A small strip floating over the presenter that drives the main camera's optical
// zoom with a slider, a minus and a plus button and an automatic switch. It
// reaches the camera only through the presenter's zoom calls.
class QFocusWidget : public QWidget
{
    Q_OBJECT

public:
    explicit QFocusWidget(QWidget *parent = nullptr);
    ~QFocusWidget() override;

public Q_SLOTS:
    void onSub();
    void onAdd();
    void onAutoFocus();
    void onValueChanged(int val);

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void sendSliderValue();
    void stepTo(int value);
    void setManualControlsEnabled(bool enabled);

    std::unique_ptr<Ui::QFocusWidget> ui;
    int m_nValue = 0;
    int m_nStep = 1;
    int m_nMin = 0;
    int m_nMax = 0;
};

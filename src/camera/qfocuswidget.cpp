#include "qfocuswidget.h"
#include "ui_qfocuswidget.h"

#include <QSignalBlocker>

#include <algorithm>

#include "camera/qmainwidget.h"
#include "common/programwide.h"
#include "platform/windowplacement.h"

QFocusWidget::QFocusWidget(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QFocusWidget>())
{
    ui->setupUi(this);
    WindowPlacement::keepAbove(this);
    connect(ui->pushButtonSub, &QPushButton::clicked, this, &QFocusWidget::onSub);
    connect(ui->pushButtonAdd, &QPushButton::clicked, this, &QFocusWidget::onAdd);
    connect(ui->checkBoxAuto, &QCheckBox::clicked, this, &QFocusWidget::onAutoFocus);
    connect(ui->horizontalSlider, &QSlider::valueChanged, this, &QFocusWidget::onValueChanged);
}

QFocusWidget::~QFocusWidget() = default;

// The slider spans the camera's own range, so every position is a value the
// camera knows and the whole range can be reached.
void QFocusWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!presenterView)
        return;
    int min = 0, max = 0, value = 0, step = 1;
    bool automatic = false;
    presenterView->getZoomRange(min, max, value, step, automatic);
    {
        // Clamping the old position into the new range would move the lens.
        const QSignalBlocker quiet(ui->horizontalSlider);
        ui->horizontalSlider->setRange(min, max);
    }
    ui->horizontalSlider->setValue(value);
    ui->horizontalSlider->setSingleStep(step);
    ui->horizontalSlider->setPageStep(step);
    m_nStep = step;
    m_nMin = min;
    m_nMax = max;
    setManualControlsEnabled(!automatic);
    ui->checkBoxAuto->setChecked(automatic);
    ui->lineEditVal->setText(QString::number(value));
    m_nValue = value;
}

void QFocusWidget::sendSliderValue()
{
    m_nValue = ui->horizontalSlider->value();
    ui->lineEditVal->setText(QString::number(m_nValue));
    if (presenterView)
        presenterView->setZoomValue(m_nValue, ui->checkBoxAuto->isChecked());
}

// Tracking is on: a drag sends every value it passes.
void QFocusWidget::onValueChanged(int)
{
    sendSliderValue();
}

void QFocusWidget::mousePressEvent(QMouseEvent *)
{
    sendSliderValue();
}

// A step that does not change the slider sends nothing.
void QFocusWidget::stepTo(int value)
{
    m_nValue = value;
    ui->horizontalSlider->setValue(m_nValue);
}

void QFocusWidget::onSub()
{
    stepTo(std::max(m_nValue - m_nStep, m_nMin));
}

void QFocusWidget::onAdd()
{
    stepTo(std::min(m_nValue + m_nStep, m_nMax));
}

void QFocusWidget::onAutoFocus()
{
    if (!presenterView)
        return;
    const bool automatic = ui->checkBoxAuto->isChecked();
    setManualControlsEnabled(!automatic);
    presenterView->setZoomValue(m_nValue, automatic);
}

void QFocusWidget::setManualControlsEnabled(bool enabled)
{
    ui->horizontalSlider->setEnabled(enabled);
    ui->pushButtonAdd->setEnabled(enabled);
    ui->pushButtonSub->setEnabled(enabled);
}

#include "camerapropertiesdialog.h"

#include "camera.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace optrelle {

CameraPropertiesDialog::CameraPropertiesDialog(Camera &camera) : m_camera(camera)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("摄像头属性 %1:%2")
                       .arg(QString::fromStdString(camera.firstId()),
                            QString::fromStdString(camera.secondId())));
    auto *form = new QFormLayout;
    for (const CameraControl &control : camera.controls())
        form->addRow(QString::fromStdString(control.name), editorFor(control));
    if (m_editors.empty())
        form->addRow(new QLabel(QStringLiteral("此摄像头没有可调的属性。")));

    auto *buttons =
        new QDialogButtonBox(QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::RestoreDefaults)->setText(QStringLiteral("恢复默认"));
    buttons->button(QDialogButtonBox::RestoreDefaults)->setEnabled(!m_editors.empty());
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            &CameraPropertiesDialog::resetToDefaults);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QWidget *CameraPropertiesDialog::editorFor(const CameraControl &control)
{
    const auto apply = [this, id = control.id](int value) { m_camera.setControl(id, value); };
    switch (control.kind) {
    case CameraControl::Kind::Boolean: {
        auto *box = new QCheckBox;
        box->setChecked(control.value != 0);
        connect(box, &QCheckBox::toggled, this, [apply](bool on) { apply(on ? 1 : 0); });
        m_editors.emplace_back(control, [box](int value) {
            const QSignalBlocker quiet(box);
            box->setChecked(value != 0);
        });
        return box;
    }
    case CameraControl::Kind::Menu: {
        auto *combo = new QComboBox;
        for (const auto &[value, label] : control.menu)
            combo->addItem(QString::fromStdString(label), value);
        combo->setCurrentIndex(combo->findData(control.value));
        connect(combo, &QComboBox::activated, this,
                [apply, combo](int index) { apply(combo->itemData(index).toInt()); });
        m_editors.emplace_back(control, [combo](int value) {
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(combo->findData(value));
        });
        return combo;
    }
    case CameraControl::Kind::Integer:
        break;
    }
    auto *row = new QWidget;
    auto *slider = new QSlider(Qt::Horizontal);
    auto *spin = new QSpinBox;
    slider->setRange(control.minimum, control.maximum);
    slider->setSingleStep(control.step);
    slider->setPageStep(control.step);
    slider->setValue(control.value);
    spin->setRange(control.minimum, control.maximum);
    spin->setSingleStep(control.step);
    spin->setValue(control.value);
    slider->setMinimumWidth(240);
    connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
    connect(spin, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    connect(spin, &QSpinBox::valueChanged, this, apply);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider);
    layout->addWidget(spin);
    m_editors.emplace_back(control, [slider, spin](int value) {
        const QSignalBlocker quietSlider(slider);
        const QSignalBlocker quietSpin(spin);
        slider->setValue(value);
        spin->setValue(value);
    });
    return row;
}

void CameraPropertiesDialog::resetToDefaults()
{
    for (const auto &[control, show] : m_editors) {
        m_camera.setControl(control.id, control.defaultValue);
        show(control.defaultValue);
    }
}

} // namespace optrelle

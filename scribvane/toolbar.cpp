#include "toolbar.h"

#include <QButtonGroup>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

namespace {
constexpr int rows = 8;
constexpr int cell = ToolBar::kButtonSize + ToolBar::kGap;

// A dot of the pen's width, for the width buttons.
QIcon widthIcon(qreal width)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(12, 12), width / 2 + 1, width / 2 + 1);
    return QIcon(pixmap);
}
} // namespace

ToolBar::ToolBar(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_tools(new QButtonGroup(this))
{
    setWindowTitle(QStringLiteral("Scribvane"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(kGap + kColumns * cell, kGripHeight + rows * cell + kGap);
    setStyleSheet(QStringLiteral("ToolBar { background: #3c3f44; }"
                                 "QToolButton { background: #eceff1; border: 1px solid #90a4ae; }"
                                 "QToolButton:checked { background: #ffd54f; }"));

    addToolButton(InkTool::None, QStringLiteral("指"), QStringLiteral("鼠标：不画，点击穿过"));
    addToolButton(InkTool::Pen, QStringLiteral("笔"), QStringLiteral("画笔"));
    addToolButton(InkTool::Highlighter, QStringLiteral("荧"), QStringLiteral("荧光笔"));
    addToolButton(InkTool::Eraser, QStringLiteral("擦"), QStringLiteral("橡皮擦"));
    addToolButton(InkTool::Line, QStringLiteral("线"), QStringLiteral("直线"));
    connect(addButton(QStringLiteral("清"), QStringLiteral("清除全部笔迹")),
            &QAbstractButton::clicked, this, &ToolBar::clearRequested);

    auto *widths = new QButtonGroup(this);
    for (int i = 0; i < StrokeModel::kWidthCount; ++i) {
        QAbstractButton *button = addButton(QString(), QStringLiteral("笔的粗细"));
        button->setIcon(widthIcon(StrokeModel::penWidth(i)));
        button->setCheckable(true);
        button->setChecked(i == 1);
        widths->addButton(button, i);
    }
    connect(widths, &QButtonGroup::idClicked, this, &ToolBar::widthChosen);

    auto *colours = new QButtonGroup(this);
    for (int i = 0; i < StrokeModel::kColourCount; ++i) {
        QAbstractButton *button = addButton(QString(), QStringLiteral("颜色"));
        button->setCheckable(true);
        button->setChecked(i == 0);
        button->setStyleSheet(QStringLiteral("QToolButton { background: %1; }"
                                             "QToolButton:checked { border: 4px solid #ffd54f; }")
                                  .arg(StrokeModel::palette(i).name()));
        colours->addButton(button, i);
    }
    connect(colours, &QButtonGroup::idClicked, this, &ToolBar::colourChosen);

    connect(addButton(QStringLiteral("撤"), QStringLiteral("撤销")), &QAbstractButton::clicked,
            this, &ToolBar::undoRequested);
    connect(addButton(QStringLiteral("重"), QStringLiteral("重做")), &QAbstractButton::clicked,
            this, &ToolBar::redoRequested);
    connect(addButton(QStringLiteral("存"), QStringLiteral("保存屏幕和笔迹到照片文件夹")),
            &QAbstractButton::clicked, this, &ToolBar::saveRequested);

    const struct
    {
        const char *label;
        const char *tip;
        const char *command;
    } camera[] = {{"拍", "拍照", "Photo"},
                  {"转", "向右旋转", "RotateR"},
                  {"冻", "冻结画面", "FreeZe"},
                  {"大", "放大", "ZommOut"},
                  {"小", "缩小", "ZommIn"}};
    for (const auto &entry : camera) {
        const QByteArray command = entry.command;
        connect(addButton(QString::fromUtf8(entry.label), QString::fromUtf8(entry.tip)),
                &QAbstractButton::clicked, this,
                [this, command] { Q_EMIT cameraCommand(command); });
    }
    connect(addButton(QStringLiteral("退"), QStringLiteral("退出")), &QAbstractButton::clicked,
            this, &ToolBar::exitRequested);

    connect(m_tools, &QButtonGroup::idClicked, this,
            [this](int id) { Q_EMIT toolChosen(InkTool(id)); });
    showTool(InkTool::None);
    const QRect area = screen()->geometry();
    move(area.left(), area.center().y() - height() / 2);
}

QAbstractButton *ToolBar::addButton(const QString &label, const QString &tip)
{
    auto *button = new QToolButton(this);
    button->setText(label);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(kGap + (m_buttonCount % kColumns) * cell,
                        kGripHeight + (m_buttonCount / kColumns) * cell, kButtonSize, kButtonSize);
    ++m_buttonCount;
    return button;
}

void ToolBar::addToolButton(InkTool tool, const QString &label, const QString &tip)
{
    QAbstractButton *button = addButton(label, tip);
    button->setCheckable(true);
    m_tools->addButton(button, int(tool));
}

void ToolBar::showTool(InkTool tool)
{
    m_tools->button(int(tool))->setChecked(true);
}

void ToolBar::moveToEdge(bool left)
{
    const QRect area = screen()->geometry();
    move(left ? area.left() : area.right() + 1 - width(), y());
}

void ToolBar::moveToOtherEdge()
{
    moveToEdge(!atLeftEdge());
}

bool ToolBar::atLeftEdge() const
{
    return geometry().center().x() < screen()->geometry().center().x();
}

void ToolBar::mousePressEvent(QMouseEvent *event)
{
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void ToolBar::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        move(event->globalPosition().toPoint() - m_dragOffset);
}

#include "qmulticapdialog.h"
#include "ui_qmulticapdialog.h"

#include <QCloseEvent>
#include <QRegularExpression>

#include "common/programwide.h"
#include "camera/stillcapture.h"
#include "platform/dialogs.h"
#include "scanner/qvideowidget.h"

namespace {
const QString startText = QStringLiteral("启动");
const QString stopText = QStringLiteral("停止");

// What a field's text stands for: its number when that is above 0 and within
// the bound; the bound for a larger number (even one too long to parse); the
// fallback for anything else. replaced says the text must show the value.
struct FieldValue
{
    int value;
    bool replaced;
};

FieldValue fieldValue(const QString &text, int fallback, int bound)
{
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok) {
        static const QRegularExpression digits(QStringLiteral("^\\s*\\+?\\d+\\s*$"));
        return {digits.match(text).hasMatch() ? bound : fallback, true};
    }
    if (number <= 0)
        return {fallback, true};
    if (number > bound)
        return {bound, true};
    return {int(number), false};
}
} // namespace

QMultiCapDialog::QMultiCapDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::QMultiCapDialog>())
{
    ui->setupUi(this);
    ui->lineEditTime->setText(QString::number(m_nInterval));
    ui->lineEditPages->setText(QString::number(m_nPages));
    connect(ui->lineEditTime, &QLineEdit::textChanged, this, &QMultiCapDialog::onTimeChanged);
    connect(ui->lineEditPages, &QLineEdit::textChanged, this, &QMultiCapDialog::onPagesChanged);
    connect(ui->pushButtonStart, &QPushButton::clicked, this, &QMultiCapDialog::onStartCap);
}

QMultiCapDialog::~QMultiCapDialog() = default;

void QMultiCapDialog::onTimerCap()
{
    ui->groupBoxTimerSetting->setEnabled(true);
}

void QMultiCapDialog::onSmartCap()
{
    ui->groupBoxTimerSetting->setEnabled(false);
}

void QMultiCapDialog::onTimeChanged()
{
    const FieldValue field = fieldValue(ui->lineEditTime->text(), 1, maxInterval);
    m_nInterval = field.value;
    if (field.replaced)
        ui->lineEditTime->setText(QString::number(field.value));
}

void QMultiCapDialog::onPagesChanged()
{
    const FieldValue field = fieldValue(ui->lineEditPages->text(), maxPages, maxPages);
    m_nPages = field.value;
    if (field.replaced)
        ui->lineEditPages->setText(QString::number(field.value));
}

void QMultiCapDialog::onStartCap()
{
    if (ui->pushButtonStart->text() == startText) {
        ui->pushButtonStart->setText(stopText);
        m_nCount = 0;
        ui->labelCapCount->setText(QStringLiteral("开始拍照"));
        m_nTimerId = startTimer(m_nInterval * 1000);
        ui->groupBoxTimerSetting->setEnabled(false);
    } else if (ui->pushButtonStart->text() == stopText) {
        endSeries();
    }
}

void QMultiCapDialog::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_nTimerId)
        return;
    if (m_nCount < m_nPages && scannerWindow) {
        const QByteArray failed = scannerWindow->stillIntoFolder();
        if (!failed.isEmpty()) {
            // Ended first: the message box would otherwise stack one per tick.
            endSeries();
            ui->labelCapCount->setText(QStringLiteral("已拍照 %1 张, 拍照失败").arg(m_nCount));
            tellStillNotWritten(failed);
            return;
        }
    }
    ++m_nCount;
    if (m_nCount < m_nPages) {
        ui->labelCapCount->setText(QStringLiteral("已拍照 %1 张").arg(m_nCount));
    } else {
        endSeries();
        ui->labelCapCount->setText(QStringLiteral("已拍照 %1 张, 拍照结束").arg(m_nCount));
    }
}

void QMultiCapDialog::closeEvent(QCloseEvent *event)
{
    if (ui->pushButtonStart->text() == stopText) {
        event->ignore();
        Dialogs::current().message(QStringLiteral("请先停止连拍!"), QStringLiteral("提示"));
        return;
    }
    event->accept();
}

void QMultiCapDialog::endSeries()
{
    killTimer(m_nTimerId);
    m_nTimerId = 0;
    ui->pushButtonStart->setText(startText);
    ui->groupBoxTimerSetting->setEnabled(true);
}

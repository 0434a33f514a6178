#include "qfaultdetectdlg.h"
#include "ui_qfaultdetectdlg.h"

QFaultDetectDlg::QFaultDetectDlg(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::QFaultDetectDlg>())
{
    ui->setupUi(this);
}

QFaultDetectDlg::~QFaultDetectDlg() = default;

void QFaultDetectDlg::setResultText(const QByteArray &text)
{
    // Plain text: a recognised "<" or "&" is part of the page, not markup.
    ui->textEdit->setPlainText(QString::fromLocal8Bit(text));
}

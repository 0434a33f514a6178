#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class QFaultDetectDlg;
}

// Shows the text recognised on a scanned page, editable so the user can correct
// and copy it. One is made for each recognition and run modally.
class QFaultDetectDlg : public QDialog
{
    Q_OBJECT

public:
    explicit QFaultDetectDlg(QWidget *parent = nullptr);
    ~QFaultDetectDlg() override;

    // text: 8-bit in the local encoding, as the recognition returns it.
    void setResultText(const QByteArray &text);

private:
    std::unique_ptr<Ui::QFaultDetectDlg> ui;
};

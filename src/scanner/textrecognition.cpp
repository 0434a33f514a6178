#include "textrecognition.h"

#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QProgressDialog>

#include "common/log.h"
#include "common/paths.h"
#include "platform/programlauncher.h"
#include "platform/tempfolder.h"

namespace {
// Shown while Tesseract works: the elapsed seconds against the bound.
class RecognitionProgress
{
public:
    explicit RecognitionProgress(QWidget *parent) : m_dialog(parent)
    {
        auto *seconds = new QProgressBar; // the dialog takes it over
        seconds->setFormat(QStringLiteral("%v 秒"));
        m_dialog.setBar(seconds);
        m_dialog.setRange(0, recognitionTimeoutMs / 1000);
        m_dialog.setLabelText(QStringLiteral("正在识别文字…"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setCancelButton(nullptr);
        m_dialog.setValue(0);
        m_dialog.show();
    }

    void update(quint32 elapsedMs)
    {
        m_dialog.setValue(int(elapsedMs / 1000));
        QApplication::processEvents();
    }

private:
    QProgressDialog m_dialog;
};
} // namespace

QString tesseractProgram()
{
    return QString::fromLocal8Bit(programFolder() + "ocrbin/tesseract");
}

QByteArray recognizeText(const QByteArray &imagePath, QWidget *parent)
{
    const QString folder = privateTemporaryFolder();
    if (folder.isEmpty()) {
        writeLog("无法创建临时文件夹, 不识别文字");
        return {};
    }
    // Tesseract appends ".txt" to the output base.
    const QString outputBase = folder + QStringLiteral("result");
    QFile result(outputBase + QStringLiteral(".txt"));
    result.remove();

    RecognitionProgress progress(parent);
    const auto outcome = ProgramLauncher::current().run(
        tesseractProgram(),
        {QStringLiteral("-l"), QStringLiteral("chi_sim"), QString::fromLocal8Bit(imagePath),
         outputBase},
        recognitionTimeoutMs, [&progress](quint32 elapsedMs) { progress.update(elapsedMs); });

    if (outcome == ProgramLauncher::RunOutcome::NotStarted) {
        writeLog("文字识别程序无法启动: %s", qPrintable(tesseractProgram()));
        return {};
    }
    if (outcome == ProgramLauncher::RunOutcome::TimedOut) {
        writeLog("文字识别超过%u秒, 已停止", recognitionTimeoutMs / 1000);
        result.remove();
        return {};
    }
    if (!result.open(QIODevice::ReadOnly)) {
        writeLog("文字识别没有结果: %s", qPrintable(result.fileName()));
        return {};
    }
    const QByteArray text = result.readAll();
    result.close();
    result.remove();
    return text;
}

#include "textrecognition.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QProgressBar>
#include <QProgressDialog>

#include "common/log.h"
#include "common/paths.h"
#include "platform/programlauncher.h"
#include "platform/tempfolder.h"

namespace {
// Shown while Tesseract works: the elapsed seconds against the bound. It cannot be
// dismissed, so while it is up nothing else can be started, also not a second
// recognition that would share the result file.
class RecognitionProgress : public QProgressDialog
{
public:
    explicit RecognitionProgress(QWidget *parent) : QProgressDialog(parent)
    {
        auto *seconds = new QProgressBar; // the dialog takes it over
        seconds->setFormat(QStringLiteral("%v 秒"));
        setBar(seconds);
        setRange(0, recognitionTimeoutMs / 1000);
        setLabelText(QStringLiteral("正在识别文字…"));
        setWindowModality(Qt::ApplicationModal);
        setCancelButton(nullptr);
        setValue(0);
        show();
    }

    void update(quint32 elapsedMs)
    {
        setValue(int(elapsedMs / 1000));
        QApplication::processEvents();
    }

    void reject() override {}

protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
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
    QByteArray text = result.readAll();
    result.close();
    result.remove();
    // The text ends at a stray zero byte, as a C string would.
    if (const qsizetype end = text.indexOf('\0'); end >= 0)
        text.truncate(end);
    if (text.isEmpty())
        writeLog("文字识别没有找到文字");
    return text;
}

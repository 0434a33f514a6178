#include "pagetextlayers.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "common/log.h"
#include "platform/programlauncher.h"
#include "platform/tempfolder.h"
#include "scanner/textrecognition.h"

namespace {
bool isPdf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
}
} // namespace

std::optional<QStringList> recognizeTextLayers(const QByteArrayList &images, QWidget *parent)
{
    const qsizetype pages = images.size();
    QStringList layers(pages);
    const QString folder = privateTemporaryFolder();
    if (folder.isEmpty()) {
        writeLog("无法创建临时文件夹, 不识别文字");
        return layers;
    }

    QProgressDialog progress(QStringLiteral("正在识别文字…"), QStringLiteral("取消"), 0, int(pages),
                             parent);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);

    // Tesseract's own threads would only fight over the cores the pages share.
    QProcessEnvironment oneThread;
    oneThread.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    const int parallel = std::max(1, QThread::idealThreadCount());
    QObject processes; // parent of the running Tesseracts
    QList<QProcess *> running;
    qsizetype started = 0;
    qsizetype ended = 0;
    QEventLoop loop;
    std::function<void()> startPages;

    const auto pageEnded = [&](QProcess *process, qsizetype page, const QString &layer) {
        running.removeOne(process);
        process->deleteLater();
        if (layer.isEmpty())
            writeLog("第%d页文字识别失败: %s", int(page + 1), images[page].constData());
        layers[page] = layer;
        ++ended;
        startPages();
        if (ended == pages)
            loop.quit();
        progress.setLabelText(QStringLiteral("已识别 %1/%2 页").arg(ended).arg(pages));
        progress.setValue(int(ended));
    };
    startPages = [&] {
        while (running.size() < parallel && started < pages) {
            const qsizetype page = started++;
            const QString base = folder + QStringLiteral("layer-%1").arg(page + 1);
            const QString layer = base + QStringLiteral(".pdf");
            QFile::remove(layer);
            QProcess *process = ProgramLauncher::current().start(
                tesseractProgram(),
                {QStringLiteral("-l"), QStringLiteral("chi_sim+eng"), QStringLiteral("-c"),
                 QStringLiteral("textonly_pdf=1"), QString::fromLocal8Bit(images[page]), base,
                 QStringLiteral("pdf")},
                oneThread, &processes);
            running.append(process);
            QTimer::singleShot(pageRecognitionTimeoutMs, process, [process] { process->kill(); });
            QObject::connect(process, &QProcess::finished, &processes,
                             [&, process, page, layer](int code, QProcess::ExitStatus status) {
                                 const bool done = status == QProcess::NormalExit && code == 0;
                                 pageEnded(process, page, done && isPdf(layer) ? layer : QString());
                             });
            QObject::connect(process, &QProcess::errorOccurred, &processes,
                             [&, process, page](QProcess::ProcessError error) {
                                 if (error == QProcess::FailedToStart)
                                     pageEnded(process, page, {});
                             });
        }
    };
    bool cancelled = false;
    QObject::connect(&progress, &QProgressDialog::canceled, &processes, [&] {
        cancelled = true;
        for (QProcess *process : std::as_const(running)) {
            process->disconnect(&processes);
            process->kill();
            process->waitForFinished();
        }
        loop.quit();
    });

    startPages();
    if (ended < pages)
        loop.exec();
    if (!cancelled)
        return layers;
    writeLog("文字识别已取消");
    for (qsizetype page = 0; page < pages; ++page)
        QFile::remove(folder + QStringLiteral("layer-%1.pdf").arg(page + 1));
    return std::nullopt;
}

// The scanner window on a simulated document camera, headless: what reaches the
// capture folder (stills, PDFs, recordings), the settings file and the log, and
// what the user is told when a file cannot be written.

#include <QApplication>
#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTextEdit>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

#include "camera/qmainwidget.h"
#include "common/log.h"
#include "fakeclock.h"
#include "platform/tempfolder.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "scanner/qfaultdetectdlg.h"
#include "scanner/qmulticapdialog.h"
#include "scanner/textrecognition.h"
#include "scannerstart.h"
#include "shell/settingsfile.h"

namespace {
const QString stamp = QStringLiteral("20260304050607");

// Tesseract replaced by m_tesseract when set; failing on the image m_failing.
struct TesseractLauncher : RecordingLauncher
{
    RunOutcome run(const QString &program, const QStringList &arguments, quint32 timeoutMs,
                   const std::function<void(quint32)> &whileWaiting) override
    {
        const bool replace = program == tesseractProgram() && !m_tesseract.isEmpty();
        return ProgramLauncher::run(replace ? m_tesseract : program, arguments, timeoutMs,
                                    whileWaiting);
    }
    QProcess *start(const QString &program, const QStringList &arguments,
                    const QProcessEnvironment &environment, QObject *parent) override
    {
        const bool fail = !m_failing.isEmpty() && arguments.contains(m_failing);
        return ProgramLauncher::start(fail ? QStringLiteral("false") : program, arguments,
                                      environment, parent);
    }
    QString m_tesseract, m_failing;
};

// A clock a second on with every reading, from just before the counter wraps.
struct RacingClock : FakeClock
{
    quint32 tickCount() const override { return m_racing += 1000; }
    mutable quint32 m_racing = 0xffffffffu - 4500;
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return process.readAllStandardOutput();
}

bool hasPages(const QString &pdf, int pages)
{
    return run("pdfinfo", {pdf}).contains("Pages:           " + QByteArray::number(pages) + '\n');
}
} // namespace

class TestScannerWindow : public QObject
{
    Q_OBJECT

private:
    RecordingDialogs m_dialogs;
    TesseractLauncher m_launcher;
    FakeClock m_clock;
    std::unique_ptr<Kelvora> m_bar;
    QString m_folder;

    template <typename T = QPushButton> T *child(const char *name) const
    {
        return scannerWindow->findChild<T *>(QLatin1String(name));
    }
    template <typename T = QPushButton> T *seriesChild(const char *name) const
    {
        return scannerWindow->multiCapDialog()->findChild<T *>(QLatin1String(name));
    }
    QStringList files() const { return QDir(m_folder).entryList(QDir::Files, QDir::Name); }
    bool noPrivateFiles() const { return QDir(privateTemporaryFolder()).isEmpty(QDir::Files); }
    QSize captureSize()
    {
        child("pushButtonCapture")->click();
        const QString still = m_folder + '/' + files().constLast();
        const QSize size = QImageReader(still).size();
        QFile::remove(still);
        return size;
    }
    // Recognises a fresh still; returns the text of the result dialog and closes it.
    QString recognise()
    {
        QString text = QStringLiteral("(no dialog)");
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto *result = qobject_cast<QFaultDetectDlg *>(QApplication::activeModalWidget())) {
                text = result->findChild<QTextEdit *>("textEdit")->toPlainText();
                result->accept();
            }
        });
        poll.start(20);
        child("pushButtonOCR")->click();
        return text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile::remove(logFilePath()); // a line from an earlier run proves nothing
        QVERIFY(!startScanner(m_bar, "0ac8:c498@1920x1080", "captures").isEmpty());
    }
    void init()
    {
        m_folder = QDir::tempPath() + '/' + QString::fromLatin1(QTest::currentTestFunction());
        QDir(m_folder).removeRecursively();
        QDir().mkpath(m_folder);
        launcherWindow->m_strCapPath = m_folder.toLocal8Bit();
        launcherWindow->m_strImageFormat = "jpg";
        m_dialogs.m_messages.clear();
    }
    void cleanupTestCase() { m_bar.reset(); }

    // First, while the window's batch holds no still of another function. Each
    // page gets its words where its picture shows them; a page not recognised
    // keeps its picture without text, and the user is told.
    void mergesStillsIntoASearchablePdf()
    {
        child("pushButtonCapture")->click();
        child("pushButtonCapture")->click();
        const QStringList stills = files();
        child<QCheckBox>("checkBoxSearchablePDF")->click();
        auto uncheck = qScopeGuard([this] { child<QCheckBox>("checkBoxSearchablePDF")->click(); });
        child("pushButtonMergePDF")->click();
        const QString pdf = m_folder + '/' + stamp + ".pdf";
        QVERIFY(hasPages(pdf, 2));
        for (const QString page : {"1", "2"})
            QVERIFY(run("pdftotext", {"-f", page, "-l", page, pdf, "-"}).contains("Kelvora"));
        // "Kelvora" crosses 37.2 % of the page's height (the simulated desk's layout).
        const auto box =
            QRegularExpression(R"re(<page width="[\d.]+" height="([\d.]+)"[^$]*?)re"
                               R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">Kelvora<)re")
                .match(run("pdftotext", {"-bbox", "-l", "1", pdf, "-"}));
        const double height = box.captured(1).toDouble();
        QVERIFY2(box.captured(2).toDouble() < 0.372 * height &&
                     box.captured(3).toDouble() > 0.372 * height,
                 qPrintable(box.captured(0)));
        QVERIFY(noPrivateFiles());

        // The batch began again: stills are chosen; one that is gone makes no PDF and
        // is named; then the second fails recognition.
        m_dialogs.m_chosenFiles = {m_folder + "/gone.jpg"};
        child("pushButtonMergePDF")->click();
        QVERIFY(m_dialogs.m_messages.last().contains(m_folder + "/gone.jpg"));
        m_dialogs.m_chosenFiles.clear();
        for (const QString &still : stills)
            m_dialogs.m_chosenFiles << m_folder + '/' + still;
        m_launcher.m_failing = m_dialogs.m_chosenFiles[1];
        child("pushButtonMergePDF")->click();
        m_launcher.m_failing.clear();
        QVERIFY(
            m_dialogs.m_messages.last().startsWith(QStringLiteral("提示|第 2 页的文字无法识别")));
        const QString second = m_folder + '/' + stamp + "_2.pdf";
        QVERIFY(hasPages(second, 2));
        QVERIFY(run("pdftotext", {"-f", "1", "-l", "1", second, "-"}).contains("Kelvora"));
        QVERIFY(!run("pdftotext", {"-f", "2", "-l", "2", second, "-"}).contains("Kelvora"));
    }

    void capturesInEachFormat()
    {
        const char *formats[][2] = {
            {"jpg", "jpeg"}, {"bmp", "bmp"}, {"tif", "tiff"}, {"png", "png"}, {"_2.jpg", "jpeg"}};
        for (const auto &[extension, format] : formats) {
            launcherWindow->m_strImageFormat = QByteArray(extension).right(3);
            child("pushButtonCapture")->click();
            const QString name = stamp + (extension[0] == '_' ? "" : ".") + extension;
            const QImageReader still(m_folder + '/' + name);
            QCOMPARE(still.format(), QByteArray(format));
            QCOMPARE(still.size(), QSize(1920, 1080));
        }
    }

    // A frame dragged over the preview cuts the still (pagefinding_e2e.sh crops
    // to the page).
    void cropsTheStill()
    {
        auto *manualCrop = child<QCheckBox>("checkBoxManualCrop");
        QWidget *preview = child<QWidget>("widgetPreview");
        const auto send = [preview](QEvent::Type type, int x, int y, Qt::MouseButtons held) {
            QMouseEvent event(type, QPoint(x, y), preview->mapToGlobal(QPoint(x, y)),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                              Qt::NoModifier);
            QApplication::sendEvent(preview, &event);
        };
        QSignalSpy frames(presenterView, &QMainWidget::frameChange);
        QTRY_VERIFY(frames.count() > 2); // the preview is painted, so the drag finds it
        manualCrop->click();
        const int w = preview->width(), h = preview->height();
        send(QEvent::MouseButtonPress, w / 4, h / 2, Qt::LeftButton);
        send(QEvent::MouseMove, w / 2, h / 2 + 5, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, 3 * w / 4, h / 2 + 10, Qt::NoButton);
        const QSize cut = captureSize();
        QVERIFY2(qAbs(cut.width() - 960) < 60 && cut.height() < 200,
                 qPrintable(QDebug::toString(cut)));
        manualCrop->click();
        QTRY_COMPARE(captureSize(), QSize(1920, 1080));
    }

    // Stored as "cappath" and shown.
    void choosesTheCaptureFolder()
    {
        const QString chosen = QDir::tempPath() + QStringLiteral("/chosen folder");
        m_dialogs.m_chosenFolder = chosen;
        child("pushButtonBrowser")->click();
        QCOMPARE(readSetting(launcherWindow->m_strWorkPath, "cappath"), chosen.toLocal8Bit());
        QCOMPARE(child<QLineEdit>("lineEditCapPath")->text(), chosen);
    }

    void recognisesThePageOrShowsNothing()
    {
        QFile planted(QDir::tempPath() + "/result.txt"); // never shown in place of the result
        QVERIFY(planted.open(QIODevice::WriteOnly) && planted.write("planted") > 0);
        planted.close();
        QString text = recognise();
        QVERIFY(!text.contains("planted"));
        text.remove(QRegularExpression(QStringLiteral("\\s")));
        for (const char *line : {"文档摄像头测试页", "Kelvora"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), qPrintable(line + (" in " + text)));
        // The still and the text were in a folder of the user's own, and are gone.
        QVERIFY(noPrivateFiles());
        QCOMPARE(QFile(privateTemporaryFolder()).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                     QFile::WriteUser | QFile::ExeUser);

        // A Tesseract that never ends is given up after 30 s of the clock, across its wrap.
        m_launcher.m_tesseract = QDir::tempPath() + "/hanging tesseract";
        QFile hanging(m_launcher.m_tesseract);
        QVERIFY(hanging.open(QIODevice::WriteOnly) && hanging.write("#!/bin/sh\nexec sleep 600"));
        hanging.close();
        hanging.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        {
            RacingClock clock;
            const quint32 start = clock.m_racing;
            QCOMPARE(recognise(), QString());
            QVERIFY(quint32(clock.m_racing - start) > recognitionTimeoutMs);
            QVERIFY(quint32(clock.m_racing - start) <= recognitionTimeoutMs + 3000);
        }
        Clock::replace(&m_clock);
        QVERIFY(contents(logFilePath()).contains("文字识别超过30秒, 已停止"));
        m_launcher.m_tesseract.clear();
        QVERIFY(noPrivateFiles());
    }

    // A recording the disk stops is told, with the file and why.
    void recordingStoppedByTheDisk()
    {
        QPushButton *record = child("pushButtonRecord");
        const QString path = m_folder + '/' + stamp + ".wmv";
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved = {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        auto restoreLimit = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
        record->click();
        QVERIFY(!child("pushButtonClose")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(record->text(), QStringLiteral("开始录像"), 20000);
        QVERIFY(child("pushButtonClose")->isEnabled());
        QVERIFY2(m_dialogs.m_messages.last().startsWith("提示|录像已停止, 文件: " + path) &&
                     m_dialogs.m_messages.last().contains(QString::fromLocal8Bit(strerror(EFBIG))),
                 qPrintable(m_dialogs.m_messages.last()));
        QVERIFY(contents(logFilePath()).contains("录像意外停止: " + path.toLocal8Bit()));
    }

    // A folder that cannot take the file: nothing is written, the user is told
    // once each time; a timed series ends at its first failure.
    void tellsWhatCannotBeWritten()
    {
        const QString missing = m_folder + QStringLiteral("/missing");
        launcherWindow->m_strCapPath = QFile::encodeName(missing);
        child("pushButtonRecord")->click();
        QVERIFY(child("pushButtonClose")->isEnabled());
        child("pushButtonCapture")->click();
        child("pushButtonPDFCap")->click();
        scannerWindow->OnTimerCap();
        seriesChild<QLineEdit>("lineEditTime")->setText("1");
        seriesChild("pushButtonStart")->click();
        QTRY_COMPARE(m_dialogs.m_messages.size(), 4);
        QCOMPARE(seriesChild("pushButtonStart")->text(), QStringLiteral("启动"));
        scannerWindow->multiCapDialog()->hide();
        const QStringList told = m_dialogs.m_messages;
        QVERIFY(told[0].startsWith(QStringLiteral("提示|录像无法开始")));
        QVERIFY(told[1].startsWith("提示|照片无法保存: " + missing + '/'));
        QVERIFY(told[2].startsWith(QStringLiteral("提示|PDF文件无法保存")));
        QVERIFY(told[3].startsWith("提示|照片无法保存: " + missing + '/'));
        QVERIFY(contents(logFilePath()).contains("PDF生成失败: " + missing.toLocal8Bit()));
        QVERIFY(!QFileInfo::exists(missing) && noPrivateFiles());
    }

    void timedSeries()
    {
        scannerWindow->OnTimerCap();
        auto *time = seriesChild<QLineEdit>("lineEditTime");
        auto *pages = seriesChild<QLineEdit>("lineEditPages");
        time->setText("1");
        pages->setText("3");
        seriesChild("pushButtonStart")->click();
        QVERIFY(!scannerWindow->multiCapDialog()->close());
        QCOMPARE(m_dialogs.m_messages.last(), QStringLiteral("提示|请先停止连拍!"));
        QTRY_COMPARE_WITH_TIMEOUT(seriesChild<QLabel>("labelCapCount")->text(),
                                  QStringLiteral("已拍照 3 张, 拍照结束"), 7000);
        QCOMPARE(files(), (QStringList{stamp + ".jpg", stamp + "_2.jpg", stamp + "_3.jpg"}));
        QVERIFY(scannerWindow->multiCapDialog()->close());
    }
};

QTEST_MAIN(TestScannerWindow)
#include "test_scannerwindow.moc"

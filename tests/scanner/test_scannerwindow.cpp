// The scanner window and its timed series on a simulated document camera,
// headless: stills into the capture folder, the folder choice, showing and
// hiding, text recognition, recording and the series dialog.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/resource.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/kelvora.h"
#include "camera/qmainwidget.h"
#include "common/log.h"
#include "common/programwide.h"
#include "fakeclock.h"
#include "platform/tempfolder.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "scanner/qfaultdetectdlg.h"
#include "scanner/qmulticapdialog.h"
#include "camera/qsnapwidget.h"
#include "scanner/qvideowidget.h"
#include "scanner/textrecognition.h"
#include "shell/settingsfile.h"

namespace {
const QString stamp = QStringLiteral("20260304050607");

// Runs the programs it is asked to run, Tesseract replaced by m_tesseract when set.
struct TesseractLauncher : RecordingLauncher
{
    RunOutcome run(const QString &program, const QStringList &arguments, quint32 timeoutMs,
                   const std::function<void(quint32)> &whileWaiting) override
    {
        m_arguments = arguments;
        const bool replace = program == tesseractProgram() && !m_tesseract.isEmpty();
        return ProgramLauncher::run(replace ? m_tesseract : program, arguments, timeoutMs,
                                    whileWaiting);
    }
    QString m_tesseract;
    QStringList m_arguments;
};

// A clock whose ticks run a second on with every reading, from just before the
// counter wraps.
struct RacingClock : FakeClock
{
    quint32 tickCount() const override { return m_racing += 1000; }
    mutable quint32 m_racing = 0xffffffffu - 4500;
};

// A file in the shared temporary folder, executable when it is a script.
QString writeTemp(const QString &name, const QByteArray &body)
{
    const QString path = QDir::tempPath() + QLatin1Char('/') + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QByteArray logText()
{
    QFile log(logFilePath());
    log.open(QIODevice::ReadOnly);
    return log.readAll();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
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
    QVideoWidget *m_window = nullptr;
    QString m_capFolder;

    template <typename T> T *child(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    template <typename T> T *dialogChild(const char *name) const
    {
        return m_window->multiCapDialog()->findChild<T *>(QLatin1String(name));
    }
    // A fresh, empty capture folder.
    void useCaptureFolder(const QString &name)
    {
        m_capFolder = QDir::tempPath() + QLatin1Char('/') + name;
        QDir(m_capFolder).removeRecursively();
        QDir().mkpath(m_capFolder);
        launcherWindow->m_strCapPath = m_capFolder.toLocal8Bit();
    }
    // Recognises a fresh still; returns the text of the result dialog and closes it.
    // seenProgress tells whether the progress dialog was up meanwhile.
    QString recognise(bool *seenProgress = nullptr)
    {
        QString text = QStringLiteral("(no dialog)");
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *progress = qobject_cast<QProgressDialog *>(modal); progress && seenProgress)
                *seenProgress = progress->labelText() == QStringLiteral("正在识别文字…");
            auto *result = qobject_cast<QFaultDetectDlg *>(modal);
            if (!result)
                return;
            QCOMPARE(result->windowTitle(), QStringLiteral("OCR识别结果"));
            text = result->findChild<QTextEdit *>("textEdit")->toPlainText();
            result->accept();
        });
        poll.start(20);
        button("pushButtonOCR")->click();
        return text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile::remove(logFilePath()); // a line from an earlier run proves nothing
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@1920x1080");
        m_bar = std::make_unique<Kelvora>();
        m_window = scannerWindow;
        QVERIFY(m_window && !m_window->isVisible());
        QVERIFY(logText().contains("m_pVideoWidget创建对象"));
        useCaptureFolder("captures");
        QMetaObject::invokeMethod(m_bar.get(), "OnShowVideo");
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanupTestCase() { m_bar.reset(); }

    void fillsTheScreenAndClosingHides()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("高拍仪"));
        QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!presenterView->snapWidget()->isVisible());
        const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(m_window->geometry(), QRect(QPoint(0, 0), desk.size()));
        QCOMPARE(child<QWidget>("widgetPreview")->geometry(),
                 QRect(0, 0, desk.width() - 220, desk.height() - 60));
        QCOMPARE(child<QLineEdit>("lineEditCapPath")->text(), m_capFolder);

        // Closing only hides; showing again refreshes the folder and keeps the crop box.
        child<QCheckBox>("checkBoxManualCrop")->click();
        QVERIFY(m_window->close());
        QVERIFY(!m_window->isVisible() && scannerWindow == m_window);
        useCaptureFolder("captures again");
        QMetaObject::invokeMethod(m_bar.get(), "OnShowVideo");
        QVERIFY(m_window->isVisible());
        QCOMPARE(child<QLineEdit>("lineEditCapPath")->text(), m_capFolder);
        QVERIFY(child<QCheckBox>("checkBoxManualCrop")->isChecked());
        child<QCheckBox>("checkBoxManualCrop")->click();
        button("pushButtonClose")->click();
        QVERIFY(!m_window->isVisible());
        m_window->show();
    }

    void capturesInEachFormat()
    {
        const char *formats[][2] = {
            {"jpg", "jpeg"}, {"bmp", "bmp"}, {"tif", "tiff"}, {"png", "png"}};
        for (const auto &[extension, format] : formats) {
            launcherWindow->m_strImageFormat = extension;
            button("pushButtonCapture")->click();
            const QString path = m_capFolder + '/' + stamp + '.' + extension;
            QCOMPARE(QImageReader(path).format(), QByteArray(format));
            QCOMPARE(QImageReader(path).size(), QSize(1920, 1080));
        }
        launcherWindow->m_strImageFormat = "jpg";
        button("pushButtonCapture")->click();
        QVERIFY(QFile::exists(m_capFolder + '/' + stamp + "_2.jpg"));
    }

    void choosesTheCaptureFolder()
    {
        const QByteArray work = launcherWindow->m_strWorkPath;
        const QString conf = settingsFilePath(work);
        const QString chosen = QDir::tempPath() + QStringLiteral("/chosen folder");
        QFile::remove(conf);

        m_dialogs.m_chosenFolder = chosen;
        button("pushButtonBrowser")->click();
        QCOMPARE(launcherWindow->m_strCapPath, chosen.toLocal8Bit());
        QCOMPARE(child<QLineEdit>("lineEditCapPath")->text(), chosen);
        QCOMPARE(readSetting(work, "cappath"), chosen.toLocal8Bit());

        // The same folder again, or a cancelled dialog: nothing is written.
        QFile::remove(conf);
        for (const QString &answer : {chosen, QString()}) {
            m_dialogs.m_chosenFolder = answer;
            button("pushButtonBrowser")->click();
            QVERIFY(!QFile::exists(conf));
            QCOMPARE(launcherWindow->m_strCapPath, chosen.toLocal8Bit());
        }

        button("pushButtonOpenFolder")->click();
        QCOMPARE(m_launcher.m_launches.last().target, chosen);
        useCaptureFolder("captures");
    }

    void recognisesThePageOrShowsNothing()
    {
        QVERIFY(QFile::exists(writeTemp("result.txt", "planted text")));
        bool seenProgress = false;
        QString text = recognise(&seenProgress);
        QVERIFY(seenProgress);
        QVERIFY2(!text.contains("planted"), qPrintable(text));
        text.remove(QRegularExpression(QStringLiteral("\\s")));
        for (const char *line : {"文档摄像头测试页", "教师在讲台上展示作业", "Kelvora", "document",
                                 "camera", "quick", "brown", "fox", "2026"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), qPrintable(line + (" in " + text)));
        QCOMPARE(m_launcher.m_arguments.mid(0, 2), (QStringList{"-l", "chi_sim"}));
        // The still and the text were the process's own and are gone.
        QCOMPARE(filesIn(privateTemporaryFolder()), QStringList());
        QVERIFY(privateTemporaryFolder().startsWith(QDir::tempPath() + "/kelvora-"));
        QCOMPARE(QFile(privateTemporaryFolder()).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                     QFile::WriteUser | QFile::ExeUser);

        // A stand-in Tesseract: arguments arrive one by one and the whole output file is shown.
        m_launcher.m_tesseract =
            writeTemp("echoing tesseract", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$4.txt\"");
        const QString arguments = recognise();
        QCOMPARE(arguments, m_launcher.m_arguments.join('\n') + '\n');
        QVERIFY(arguments.startsWith("-l\nchi_sim\n" + privateTemporaryFolder()));

        // One that writes nothing: the empty dialog, never the planted file.
        m_launcher.m_tesseract = writeTemp("silent tesseract", "#!/bin/sh\nexit 0");
        QCOMPARE(recognise(), QString());
        QVERIFY(logText().contains("文字识别没有结果"));

        // One that never ends: given up after 30 s of the clock, across its wrap.
        m_launcher.m_tesseract = writeTemp("hanging tesseract", "#!/bin/sh\nexec sleep 600");
        {
            RacingClock clock;
            const quint32 start = clock.m_racing;
            QCOMPARE(recognise(), QString());
            QVERIFY(quint32(clock.m_racing - start) > recognitionTimeoutMs);
            QVERIFY(quint32(clock.m_racing - start) <= recognitionTimeoutMs + 3000);
        }
        Clock::replace(&m_clock);
        QVERIFY(logText().contains("文字识别超过30秒, 已停止"));

        m_launcher.m_tesseract = QDir::tempPath() + "/no such tesseract";
        QCOMPARE(recognise(), QString());
        QVERIFY(logText().contains("文字识别程序无法启动"));
        m_launcher.m_tesseract.clear();
        QCOMPARE(filesIn(privateTemporaryFolder()), QStringList());
    }

    void recordsAVideo()
    {
        QPushButton *record = button("pushButtonRecord");
        record->click();
        QCOMPARE(record->text(), QStringLiteral("停止录像"));
        QVERIFY(!button("pushButtonClose")->isEnabled());
        const QString path = m_capFolder + '/' + stamp + ".wmv";
        QTRY_VERIFY(QFileInfo(path).size() > 20000);
        record->click();
        QCOMPARE(record->text(), QStringLiteral("开始录像"));
        QVERIFY(button("pushButtonClose")->isEnabled());

        AVFormatContext *format = nullptr;
        QCOMPARE(
            avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr), 0);
        QCOMPARE(QByteArray(format->iformat->name), QByteArray("asf"));
        QVERIFY(format->nb_streams >= 1);
        avformat_close_input(&format);

        // A folder that cannot take the file: no recording, and the user is told.
        launcherWindow->m_strCapPath = QFile::encodeName(m_capFolder + "/missing");
        record->click();
        QCOMPARE(record->text(), QStringLiteral("开始录像"));
        QVERIFY(button("pushButtonClose")->isEnabled());
        QVERIFY(m_dialogs.m_messages.last().startsWith(QStringLiteral("提示|录像无法开始")));
        useCaptureFolder("captures");
    }

    // A recording the disk stops, and a still the folder refuses, are told.
    void tellsWhatWasNotWritten()
    {
        useCaptureFolder("limited");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved = {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        auto restoreLimit = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
        const qsizetype messages = m_dialogs.m_messages.size();
        QPushButton *record = button("pushButtonRecord");
        record->click();
        QCOMPARE(record->text(), QStringLiteral("停止录像"));
        QTRY_COMPARE_WITH_TIMEOUT(record->text(), QStringLiteral("开始录像"), 20000);
        restoreLimit.dismiss();
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(button("pushButtonClose")->isEnabled());
        QCOMPARE(m_dialogs.m_messages.size(), messages + 1);
        const QString path = m_capFolder + '/' + stamp + ".wmv";
        QVERIFY2(m_dialogs.m_messages.last().startsWith("提示|录像已停止, 文件: " + path) &&
                     m_dialogs.m_messages.last().contains(QString::fromLocal8Bit(strerror(EFBIG))),
                 qPrintable(m_dialogs.m_messages.last()));
        QVERIFY(logText().contains("录像意外停止: " + path.toLocal8Bit()));

        launcherWindow->m_strCapPath = QFile::encodeName(m_capFolder + "/missing");
        button("pushButtonCapture")->click();
        QCOMPARE(m_dialogs.m_messages.size(), messages + 2);
        QVERIFY(m_dialogs.m_messages.last().startsWith("提示|照片无法保存: " + m_capFolder +
                                                       "/missing/"));
        // A timed series ends at its first failure, told once.
        dialogChild<QLineEdit>("lineEditTime")->setText("1");
        m_window->OnTimerCap();
        dialogChild<QPushButton>("pushButtonStart")->click();
        QTRY_COMPARE(m_dialogs.m_messages.size(), messages + 3);
        QCOMPARE(dialogChild<QPushButton>("pushButtonStart")->text(), QStringLiteral("启动"));
        dialogChild<QLineEdit>("lineEditTime")->setText("3");
        m_window->multiCapDialog()->hide();
        useCaptureFolder("captures");
    }

    void timedSeries()
    {
        m_window->OnTimerCap();
        QVERIFY(m_window->multiCapDialog()->isVisible());
        QCOMPARE(m_window->multiCapDialog()->windowTitle(), QStringLiteral("连拍"));
        auto *time = dialogChild<QLineEdit>("lineEditTime");
        auto *pages = dialogChild<QLineEdit>("lineEditPages");
        QCOMPARE(time->text(), QStringLiteral("3"));
        QCOMPARE(pages->text(), QStringLiteral("999"));
        // Input, interval, count.
        const char *rules[][3] = {{"", "1", "9999"},
                                  {"0", "1", "9999"},
                                  {"-", "1", "9999"},
                                  {"abc", "1", "9999"},
                                  {"7", "7", "7"},
                                  {"86400", "86400", "9999"},
                                  {"86401", "86400", "9999"},
                                  {"123456789012345678901234", "86400", "9999"}};
        for (const auto &[input, interval, count] : rules) {
            time->setText(input);
            pages->setText(input);
            QCOMPARE(time->text(), QString::fromUtf8(interval));
            QCOMPARE(pages->text(), QString::fromUtf8(count));
        }

        QDialog *dialog = m_window->multiCapDialog();
        auto *label = dialogChild<QLabel>("labelCapCount");
        auto *start = dialogChild<QPushButton>("pushButtonStart");
        dialogChild<QLineEdit>("lineEditTime")->setText("1");
        dialogChild<QLineEdit>("lineEditPages")->setText("3");
        start->click();
        QCOMPARE(start->text(), QStringLiteral("停止"));
        QCOMPARE(label->text(), QStringLiteral("开始拍照"));
        QVERIFY(!dialogChild<QGroupBox>("groupBoxTimerSetting")->isEnabled());

        QVERIFY(!dialog->close());
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_dialogs.m_messages.last(), QStringLiteral("提示|请先停止连拍!"));

        for (const char *count : {"已拍照 1 张", "已拍照 2 张", "已拍照 3 张, 拍照结束"})
            QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString::fromUtf8(count), 3000);
        QCOMPARE(start->text(), QStringLiteral("启动"));
        QVERIFY(dialogChild<QGroupBox>("groupBoxTimerSetting")->isEnabled());
        QCOMPARE(filesIn(m_capFolder),
                 (QStringList{stamp + ".jpg", stamp + "_2.jpg", stamp + "_3.jpg"}));
        QVERIFY(dialog->close());
    }
};

QTEST_MAIN(TestScannerWindow)
#include "test_scannerwindow.moc"

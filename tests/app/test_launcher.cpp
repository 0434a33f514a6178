// The launcher bar on one simulated camera: its place, log and settings at start,
// its buttons, the presenter's requests, and its messages to the annotation program.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/kelvora.h"
#include "camera/qmainwidget.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "platform/copydatarecord.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "threadedlistener.h"

namespace {
QByteArray loggedText()
{
    QFile file(logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char *const buttonNames[] = {"pushButtonCompare", "pushButtonRecord", "pushButtonPPT",
                                   "pushButtonEdit",    "pushButtonSnap",   "pushButtonVisualizer",
                                   "pushButtonDesktop", "pushButtonExit"};
} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

    RecordingLauncher m_programs;
    RecordingDialogs m_dialogs;

private Q_SLOTS:
    void initTestCase()
    {
        // One simulated document camera, whatever this machine has plugged in.
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "15aa:1555@640x480");
    }

    void init()
    {
        QFile::remove(logFilePath());
        QDir(QDir::homePath() + "/Documents").removeRecursively();
        m_programs.m_launches.clear();
        m_dialogs.m_messages.clear();
    }

    void startPlacesTheBarAndWritesNoSettings()
    {
        Kelvora bar;
        const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(bar.geometry(), QRect(desk.width() - 52, desk.height() - 296, 50, 254));
        QCOMPARE(bar.windowTitle(), QString("VizaviRerer"));
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QCOMPARE(bar.findChild<QPushButton *>("pushButtonExit")->geometry(), QRect(0, 224, 51, 30));
        // The presenter is built between the first log lines and the tool windows.
        const QByteArray work = QDir::homePath().toLocal8Bit() + "/Documents/Kelvora";
        const QByteArray log = loggedText();
        qsizetype at = 0;
        const QByteArrayList order = {
            "程序初始化",           "m_pMainWidget创建对象",  "设置视频回调",
            "m_pDrawPanel创建对象", "m_pVideoWidget创建对象", "准备创建工作目录: " + work,
            "初始化设置完成"};
        for (const QByteArray &line : order) {
            at = log.indexOf(line, at);
            QVERIFY2(at >= 0, line.constData());
        }
        QCOMPARE(m_programs.m_launches[0].target, QString(programFolder() + "scribvane"));
        QCOMPARE(bar.m_strImagePath, work);
        QVERIFY(QFileInfo(QString::fromLocal8Bit(work)).isDir());
        QVERIFY(!QFile::exists(QString::fromLocal8Bit(work) + "/conf.ini"));

        // A double click beside the presenter's picture moves the bar and back.
        QTest::mouseDClick(presenterView, Qt::LeftButton);
        QCOMPARE(bar.pos(), QPoint(0, desk.height() - 296));
        QTest::mouseDClick(presenterView, Qt::LeftButton);
        QCOMPARE(bar.x(), desk.width() - 52);
    }

    void settingsFileValuesAreReadAndPptNeedsAnExistingFile()
    {
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Documents/Kelvora"));
        QFile conf(QDir::homePath() + "/Documents/Kelvora/conf.ini");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        QVERIFY(conf.write("[Kelvora]\nimagepath=/srv/photos\nPptPath=/home\n") > 0);
        conf.close();
        Kelvora bar;
        QCOMPARE(bar.m_strImagePath, QByteArray("/srv/photos"));
        bar.OnOpenPPT(); // a folder is no program
        QCOMPARE(m_dialogs.m_messages, QStringList{"提示|请在设置对话框中设置PPT程序路径"});
        bar.m_strPptPath = QCoreApplication::applicationFilePath().toLocal8Bit();
        bar.OnOpenPPT();
        QCOMPARE(m_programs.m_launches.last().target, QCoreApplication::applicationFilePath());
        QVERIFY(m_programs.m_launches.last().show == ProgramLauncher::ShowState::Maximized);
    }

    void buttonsClearTheAnnotationScreenAndExitSendsExit()
    {
        ThreadedListener annotation("Scribvane");
        QVERIFY(annotation.isListening());
        quint64 barWindow = 0;
        {
            Kelvora bar;
            barWindow = bar.winId();
            for (const char *name : buttonNames)
                bar.findChild<QPushButton *>(name)->click();
            QCOMPARE(annotation.texts(), QByteArrayList(7, "ClearSrn") << "Exit");
            QCOMPARE(m_programs.m_launches.last().target, QString(programFolder() + "Vesprin"));
        }
        // The destructor says goodbye once more while the peer is still there,
        // with the id the window had, not a new one.
        QCOMPARE(annotation.texts().size(), 9);
        QCOMPARE(annotation.texts().last(), QByteArray("Exit"));
        QCOMPARE(annotation.senderWindows(), QList<quint64>(9, barWindow));
    }

    // Last: the sends to the hung program go on in the background.
    void aHungAnnotationProgramNeverFreezesTheBar()
    {
        // Takes connections but never reads nor answers them.
        QLocalServer hung;
        QVERIFY(hung.listen(CopyData::socketPath("Scribvane")));
        Kelvora bar;
        QElapsedTimer blocked;
        // Buttons whose own work is light, so the time is the send's.
        for (const char *name : {"pushButtonDesktop", "pushButtonRecord", "pushButtonPPT"}) {
            blocked.start();
            bar.findChild<QPushButton *>(name)->click();
            QVERIFY2(blocked.elapsed() <= 100, name);
        }
        blocked.start();
        bar.findChild<QPushButton *>("pushButtonExit")->click();
        QVERIFY(blocked.elapsed() <= 1100);
    }
};

QTEST_MAIN(TestLauncher)
#include "test_launcher.moc"

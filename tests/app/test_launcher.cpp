#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocalServer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/barlayout.h"
#include "app/kelvora.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "platform/copydatarecord.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "shell/qscreenrecrect.h"
#include "threadedlistener.h"

namespace {
QByteArrayList loggedMessages()
{
    QFile file(logFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList messages;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.size() > 22)
            messages.append(line.mid(22).chopped(QByteArray("  kelvora\r").size()));
    }
    return messages;
}

const char *const buttonNames[] = {"pushButtonCompare", "pushButtonRecord", "pushButtonPPT",
                                   "pushButtonEdit",    "pushButtonSnap",   "pushButtonVisualizer",
                                   "pushButtonDesktop", "pushButtonExit"};
} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

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
    }

    void barGeometry()
    {
        // The 254 high bar is checked on the real buttons below.
        const BarButtonMetrics metrics = barButtonMetrics(94, 2);
        QCOMPARE(metrics.buttonSize, QSize(17, 10));
        QCOMPARE(metrics.iconSize, QSize(13, 8));
        QCOMPARE(barButtonPosition(0, metrics.buttonHeight, 2), QPoint(0, 0));
        QCOMPARE(barButtonPosition(7, metrics.buttonHeight, 2), QPoint(0, 84));
        // Placement counts from the screen's origin.
        QCOMPARE(barPosition(rightEdgeBarX(1920), 1040), QPoint(1868, 744));
        QCOMPARE(barPosition(0, 1040), QPoint(0, 744));
    }

    void constructionPlacesBarLogsInOrderAndWritesNoSettings()
    {
        RecordingLauncher launcher;
        RecordingDialogs dialogs;
        Kelvora bar;
        const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();

        QCOMPARE(launcherWindow, &bar);
        QCOMPARE(bar.size(), QSize(50, 254));
        QCOMPARE(bar.pos(), QPoint(desk.width() - 52, desk.height() - 296));
        QCOMPARE(bar.windowTitle(), QString("VizaviRerer"));
        QVERIFY(bar.windowFlags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint));
        // The recording frame is there for the whole run, and hidden.
        QScreenRecRect *frame = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets())
            frame = frame ? frame : qobject_cast<QScreenRecRect *>(window);
        QVERIFY(frame);
        QVERIFY(frame->isHidden());

        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        for (int row = 0; row < 8; ++row) {
            auto *button = bar.findChild<QPushButton *>(buttonNames[row]);
            QVERIFY(button);
            QCOMPARE(button->geometry(), QRect(0, row * 32, 51, 30));
            QCOMPARE(button->iconSize(), QSize(47, 28));
            QVERIFY(button->text().isEmpty());
            QVERIFY(!button->icon().isNull());
            QVERIFY(button->isFlat());
        }

        const QByteArray work = QDir::homePath().toLocal8Bit() + "/Documents/Kelvora";
        // The picture's scene logs its events after these.
        QCOMPARE(loggedMessages().mid(0, 18),
                 (QByteArrayList{"程序初始化", "m_pMainWidget创建对象", "准备创建视频窗口",
                                 "准备打开摄像头启动预览", "摄像头个数为1",
                                 "主头索引为: 0, 副头索引为: -1", "启动摄像头0预览", "设置视频回调",
                                 "准备初始化分辨率", "m_pDrawPanel创建对象", "m_pCompare创建对象",
                                 "m_pImageViewWidget创建对象", "m_pScreenRec创建对象",
                                 "m_pVideoWidget创建对象", "准备创建工作目录: " + work,
                                 "准备读取配置信息", "resizeEvent", "初始化设置完成"}));
        QCOMPARE(launcher.m_launches.size(), 1);
        QCOMPARE(launcher.m_launches[0].target, QString(programFolder() + "scribvane"));
        QCOMPARE(launcher.m_launches[0].parameters, QString("--kelvora"));

        QCOMPARE(bar.m_strWorkPath, work);
        QVERIFY(QFileInfo(QString::fromLocal8Bit(work)).isDir());
        QCOMPARE(bar.m_strImagePath, work);
        QCOMPARE(bar.m_strCapPath, work);
        QCOMPARE(bar.m_strPptPath, QByteArray("/usr/bin/loimpress"));
        QCOMPARE(bar.m_strImageFormat, QByteArray("jpg"));
        QVERIFY(!QFile::exists(QString::fromLocal8Bit(work) + "/conf.ini"));

        const QPoint start = bar.pos();
        bar.toggleBarSide();
        QCOMPARE(bar.pos(), QPoint(0, start.y()));
        bar.toggleBarSide();
        QCOMPARE(bar.pos(), start);

        bar.OnRecSrn();
        QCOMPARE(launcher.m_launches.last().target, QString(programFolder() + "Vesprin"));
        QVERIFY(launcher.m_launches.last().parameters.isEmpty());

        // Every button works without an annotation program.
        for (const char *name : buttonNames)
            bar.findChild<QPushButton *>(name)->click();
        QVERIFY(!loggedMessages().contains("查找到画板窗口"));
        QCOMPARE(dialogs.m_messages.size(), 1); // the PowerPoint refusal
        QVERIFY(loggedMessages().contains("OnExit 程序退出"));
    }

    void settingsFileValuesAreReadAndPptNeedsAnExistingFile()
    {
        const QString work = QDir::homePath() + "/Documents/Kelvora";
        QVERIFY(QDir().mkpath(work));
        QFile conf(work + "/conf.ini");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        QVERIFY(conf.write("[Kelvora]\nimagepath=/srv/photos\nPptPath=/opt/show\ncappath=\n") > 0);
        conf.close();

        RecordingLauncher launcher;
        RecordingDialogs dialogs;
        Kelvora bar;
        QCOMPARE(bar.m_strImagePath, QByteArray("/srv/photos"));
        QCOMPARE(bar.m_strPptPath, QByteArray("/opt/show"));
        QCOMPARE(bar.m_strCapPath, work.toLocal8Bit()); // an empty value is no value

        const QString refusal = "提示|请在设置对话框中设置PPT程序路径";
        bar.OnOpenPPT();                                   // /opt/show does not exist
        bar.m_strPptPath = QDir::homePath().toLocal8Bit(); // a folder
        bar.OnOpenPPT();
        QCOMPARE(dialogs.m_messages, (QStringList{refusal, refusal}));
        QCOMPARE(launcher.m_launches.size(), 1); // only the annotation program

        bar.m_strPptPath = QCoreApplication::applicationFilePath().toLocal8Bit();
        bar.OnOpenPPT();
        QCOMPARE(dialogs.m_messages.size(), 2);
        QCOMPARE(launcher.m_launches.last().target, QCoreApplication::applicationFilePath());
        QVERIFY(launcher.m_launches.last().show == ProgramLauncher::ShowState::Maximized);
    }

    void buttonsClearTheAnnotationScreenAndExitSendsExit()
    {
        RecordingLauncher launcher;
        RecordingDialogs dialogs;
        ThreadedListener annotation("Scribvane");
        QVERIFY(annotation.isListening());
        quint64 barWindow = 0;
        {
            Kelvora bar;
            barWindow = bar.winId();
            for (const char *name : buttonNames)
                bar.findChild<QPushButton *>(name)->click();
            QCOMPARE(annotation.texts(), QByteArrayList(7, "ClearSrn") << "Exit");
            QVERIFY(loggedMessages().contains("查找到画板窗口"));
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
        RecordingLauncher launcher;
        RecordingDialogs dialogs;
        // Takes connections but never reads nor answers them.
        QLocalServer hung;
        QVERIFY(hung.listen(CopyData::socketPath("Scribvane")));
        Kelvora bar;
        QElapsedTimer blocked;
        // Buttons whose own work is light, so the time is the send's.
        for (const char *name : {"pushButtonDesktop", "pushButtonRecord", "pushButtonPPT",
                                 "pushButtonDesktop", "pushButtonRecord", "pushButtonPPT"}) {
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

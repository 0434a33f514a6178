// The launcher bar on one simulated camera: its settings at start, its buttons
// and its messages to the annotation program.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QPushButton>
#include <QTest>

#include "app/kelvora.h"
#include "common/paths.h"
#include "platform/copydatarecord.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "threadedlistener.h"

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
        QDir(QDir::homePath() + "/Documents").removeRecursively();
        m_programs.m_launches.clear();
        m_dialogs.m_messages.clear();
    }

    // The bar's place, log and moves are launcher_e2e.sh's and presenter_e2e.sh's.
    void startMakesTheWorkFolderAndWritesNoSettings()
    {
        Kelvora bar;
        const QString work = QDir::homePath() + "/Documents/Kelvora";
        QCOMPARE(bar.m_strImagePath, work.toLocal8Bit());
        QVERIFY(QFileInfo(work).isDir() && !QFile::exists(work + "/conf.ini"));
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
            for (const char *name :
                 {"pushButtonCompare", "pushButtonRecord", "pushButtonPPT", "pushButtonEdit",
                  "pushButtonSnap", "pushButtonVisualizer", "pushButtonDesktop", "pushButtonExit"})
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

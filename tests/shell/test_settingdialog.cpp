// The settings dialog against a real launcher on one simulated camera: what it
// shows at opening, what each choice stores, writes and sends, and the guide.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

#include "app/kelvora.h"
#include "camera/qmainwidget.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "platform/privateprofile.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "shell/annotationprogram.h"
#include "shell/qsettingdlg.h"
#include "shell/settingsfile.h"
#include "threadedlistener.h"

namespace {
template <typename T> T *part(const QSettingDlg &dialog, const char *name)
{
    return dialog.findChild<T *>(name);
}

QString settingsFile()
{
    return settingsFilePath(launcherWindow->m_strWorkPath);
}

QByteArray storedSetting(const char *key)
{
    return readSetting(launcherWindow->m_strWorkPath, key);
}
} // namespace

class TestSettingDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "15aa:1555@640x480");
        m_launcher = std::make_unique<Kelvora>();
        QVERIFY(QDir().mkpath(QDir::homePath() + "/photos"));
    }

    void cleanupTestCase() { m_launcher.reset(); }

    void init()
    {
        QFile::remove(settingsFile());
        m_launcher->m_strImagePath = m_launcher->m_strWorkPath;
        m_launcher->m_strPptPath = "/usr/bin/loimpress";
        m_launcher->m_strImageFormat = "jpg";
        m_dialogs.m_chosenFolder.clear();
        m_dialogs.m_chosenFile.clear();
        m_programs.m_launches.clear();
    }

    void formAtOpening()
    {
        m_launcher->m_strImagePath = "/srv/照片";
        // The combo shows the format in force, and opening changed nothing.
        for (const QByteArray format : {"jpg", "png", "tif"}) {
            m_launcher->m_strImageFormat = format;
            const QSettingDlg dialog;
            QCOMPARE(part<QComboBox>(dialog, "comboBoxFileFormat")->currentText(),
                     QString::fromLatin1(format));
            QCOMPARE(m_launcher->m_strImageFormat, format);
        }
        const QSettingDlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("参数设置"));
        QCOMPARE(dialog.size(), QSize(653, 552));
        QCOMPARE(dialog.windowType(), Qt::Window);
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditImagePath")->text(), QString("/srv/照片"));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditPPTPath")->text(), QString("/usr/bin/loimpress"));
        auto *formats = part<QComboBox>(dialog, "comboBoxFileFormat");
        QStringList items;
        for (int i = 0; i < formats->count(); ++i)
            items << formats->itemText(i);
        QCOMPARE(items, (QStringList{"jpg", "bmp", "tif", "png"}));
        QVERIFY(part<QGroupBox>(dialog, "groupBoxFaultDetect")->isHidden());
        QVERIFY(part<QComboBox>(dialog, "comboBoxDev")->isHidden());
        QVERIFY(part<QLabel>(dialog, "label_4")->isHidden());
    }

    void photoFolderChoice()
    {
        const QString photos = QDir::homePath() + "/photos";
        {
            ThreadedListener annotation("Scribvane");
            QVERIFY(annotation.isListening());
            QSettingDlg dialog;
            auto *browse = part<QPushButton>(dialog, "pushButtonBrowser");

            m_dialogs.m_chosenFolder = photos;
            browse->click();
            QCOMPARE(m_launcher->m_strImagePath, photos.toLocal8Bit());
            QCOMPARE(part<QLineEdit>(dialog, "lineEditImagePath")->text(), photos);
            QCOMPARE(storedSetting("imagepath"), photos.toLocal8Bit());
            QTRY_COMPARE(annotation.texts(), QByteArrayList{"Update"});

            // The same folder again, and a cancelled choice: no write, no message.
            QVERIFY(QFile::remove(settingsFile()));
            browse->click();
            m_dialogs.m_chosenFolder.clear();
            browse->click();
            QVERIFY(!QFile::exists(settingsFile()));
            QCOMPARE(m_launcher->m_strImagePath, photos.toLocal8Bit());
            waitForAnnotationCommands();
            QCOMPARE(annotation.texts().size(), 1);
        }
        // Without the annotation program the folder is still stored.
        QSettingDlg dialog;
        m_dialogs.m_chosenFolder = QDir::homePath();
        part<QPushButton>(dialog, "pushButtonBrowser")->click();
        QCOMPARE(m_launcher->m_strImagePath, QDir::homePath().toLocal8Bit());
        QCOMPARE(storedSetting("imagepath"), QDir::homePath().toLocal8Bit());
    }

    // The PPT path is stored; the format stays in memory; neither sends a message.
    void pptAndFormatChoices()
    {
        ThreadedListener annotation("Scribvane");
        QSettingDlg dialog;
        auto *browse = part<QPushButton>(dialog, "pushButtonBrowser2");
        browse->click(); // cancelled
        QVERIFY(!QFile::exists(settingsFile()));

        m_dialogs.m_chosenFile = "/opt/impress/bin/impress";
        browse->click();
        QCOMPARE(m_launcher->m_strPptPath, QByteArray("/opt/impress/bin/impress"));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditPPTPath")->text(), m_dialogs.m_chosenFile);
        QCOMPARE(storedSetting("pptpath"), QByteArray("/opt/impress/bin/impress"));
        QVERIFY(storedSetting("imagepath").isEmpty());

        QVERIFY(QFile::remove(settingsFile()));
        part<QComboBox>(dialog, "comboBoxFileFormat")->setCurrentIndex(3);
        QCOMPARE(m_launcher->m_strImageFormat, QByteArray("png"));
        part<QComboBox>(dialog, "comboBoxFileFormat")->setCurrentIndex(1);
        QCOMPARE(m_launcher->m_strImageFormat, QByteArray("bmp"));
        QVERIFY(!QFile::exists(settingsFile()));
        waitForAnnotationCommands();
        QVERIFY(annotation.texts().isEmpty());
    }

    void faultGuidePagesAndWhatIsOpened()
    {
        // What the guide shows: its two texts, whether the installer button is
        // there, and the page button's text.
        const QStringList hardware{"硬件检查:\n1 , USB线是否有松动。",
                                   "2 , 确认USB是连接到电脑\n的USB口上, 并切换到\nUSB3.0接口上。",
                                   "no installer", "下一步"};
        const QStringList software{
            "软件检查:\n1 , 排除杀毒软件阻隔系\n统文件; 点击解码器重装。",
            "2 , 重装解码器后故障未\n排除的情况下， 退出所有\n杀毒软件，重装高拍仪软\n件。",
            "installer", "上一步"};
        m_launcher->m_strImagePath = "/srv/photos";
        const QSettingDlg dialog;
        auto *guide = part<QGroupBox>(dialog, "groupBoxFaultDetect");
        auto *detect = part<QPushButton>(dialog, "pushButtonDetect");
        auto *next = part<QPushButton>(dialog, "pushButtonNext");
        const auto shown = [&]() -> QStringList {
            if (guide->isHidden())
                return {};
            return {part<QLabel>(dialog, "labelCheck1")->text(),
                    part<QLabel>(dialog, "labelCheck2")->text(),
                    part<QPushButton>(dialog, "pushButtonInst")->isHidden() ? "no installer"
                                                                            : "installer",
                    next->text()};
        };

        // Detect opens on the hardware page, whatever was shown last, and closes it.
        const std::pair<QPushButton *, QStringList> steps[] = {
            {detect, hardware}, {next, software}, {next, hardware},
            {next, software},   {detect, {}},     {detect, hardware}};
        for (const auto &[press, expected] : steps) {
            press->click();
            QCOMPARE(shown(), expected);
        }

        // The photo folder and the installer are opened.
        part<QPushButton>(dialog, "pushButtonOpenFolder")->click();
        part<QPushButton>(dialog, "pushButtonInst")->click();
        QCOMPARE(m_programs.m_launches.size(), 2);
        QCOMPARE(m_programs.m_launches[0].target, QString("/srv/photos"));
        QCOMPARE(m_programs.m_launches[1].target, QString(programFolder() + "Tavimor"));
        QVERIFY(m_programs.m_launches[1].parameters.isEmpty());
    }

    void presenterRunsANewDialogModally()
    {
        QString seen;
        QTimer::singleShot(0, this, [&seen] {
            if (auto *dialog = qobject_cast<QSettingDlg *>(QApplication::activeModalWidget())) {
                seen = dialog->windowTitle();
                dialog->reject();
            }
        });
        presenterView->findChild<QPushButton *>("pushButtonSettings")->click();
        QCOMPARE(seen, QString("参数设置"));
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<QSettingDlg *>(window)); // run once, then gone
    }

private:
    RecordingLauncher m_programs; // before the launcher, which starts the annotation program
    RecordingDialogs m_dialogs;
    std::unique_ptr<Kelvora> m_launcher;
};

QTEST_MAIN(TestSettingDialog)
#include "test_settingdialog.moc"

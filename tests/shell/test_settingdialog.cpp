// The settings dialog on settings strings of its own: what it shows at opening
// and what a choice stores, writes and sends (the end-to-end test drives the rest).

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "recordingdialogs.h"
#include "shell/annotationprogram.h"
#include "shell/qsettingdlg.h"
#include "shell/settingsfile.h"
#include "shell/settingsstrings.h"
#include "threadedlistener.h"

namespace {
template <typename T> T *part(const QSettingDlg &dialog, const char *name)
{
    return dialog.findChild<T *>(name);
}
} // namespace

class TestSettingDialog : public QObject
{
    Q_OBJECT

    QString settingsFile() const { return settingsFilePath(m_settings.m_strWorkPath); }
    QByteArray stored(const char *key) const { return readSetting(m_settings.m_strWorkPath, key); }

private Q_SLOTS:
    void init()
    {
        const QByteArray work = QFile::encodeName(m_work.path());
        m_settings = {work, work, "/usr/bin/loimpress", work, "jpg"};
        QFile::remove(settingsFile());
        m_dialogs.m_chosenFolder.clear();
        m_dialogs.m_chosenFile.clear();
    }

    void formShowsTheSettingsInForce()
    {
        m_settings.m_strImagePath = "/srv/照片";
        m_settings.m_strImageFormat = "tif";
        const QSettingDlg dialog(m_settings);
        QCOMPARE(part<QComboBox>(dialog, "comboBoxFileFormat")->currentText(), QString("tif"));
        QCOMPARE(m_settings.m_strImageFormat, QByteArray("tif")); // opening changed nothing
        QCOMPARE(part<QLineEdit>(dialog, "lineEditImagePath")->text(), QString("/srv/照片"));
    }

    // A new folder is stored, written and announced; the same one again or a
    // cancelled choice write and send nothing.
    void photoFolderChoice()
    {
        const QString photos = m_work.path() + "/photos";
        ThreadedListener annotation("Scribvane");
        QVERIFY(annotation.isListening());
        QSettingDlg dialog(m_settings);
        auto *browse = part<QPushButton>(dialog, "pushButtonBrowser");
        m_dialogs.m_chosenFolder = photos;
        browse->click();
        QCOMPARE(m_settings.m_strImagePath, QFile::encodeName(photos));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditImagePath")->text(), photos);
        QCOMPARE(stored("imagepath"), QFile::encodeName(photos));
        QTRY_COMPARE(annotation.texts(), QByteArrayList{"Update"});

        QVERIFY(QFile::remove(settingsFile()));
        browse->click();
        m_dialogs.m_chosenFolder.clear();
        browse->click();
        QVERIFY(!QFile::exists(settingsFile()));
        QCOMPARE(m_settings.m_strImagePath, QFile::encodeName(photos));
        waitForAnnotationCommands();
        QCOMPARE(annotation.texts().size(), 1);
    }

    // The format stays in memory: nothing is written, nothing sent.
    void formatChoice()
    {
        ThreadedListener annotation("Scribvane");
        QSettingDlg dialog(m_settings);
        part<QComboBox>(dialog, "comboBoxFileFormat")->setCurrentIndex(3);
        QCOMPARE(m_settings.m_strImageFormat, QByteArray("png"));
        QVERIFY(!QFile::exists(settingsFile()));
        waitForAnnotationCommands();
        QVERIFY(annotation.texts().isEmpty());
    }

private:
    RecordingDialogs m_dialogs;
    QTemporaryDir m_work;
    SettingsStrings m_settings;
};

QTEST_MAIN(TestSettingDialog)
#include "test_settingdialog.moc"

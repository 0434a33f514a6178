// The settings dialog on settings strings of its own: what it shows at opening
// and what a repeated or cancelled choice leaves alone (presenter_e2e.sh drives
// the rest).

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

private Q_SLOTS:
    void init()
    {
        const QByteArray work = QFile::encodeName(m_work.path());
        m_settings = {work, work, "/usr/bin/loimpress", work, "jpg"};
        QFile::remove(settingsFile());
        m_dialogs.m_chosenFolder.clear();
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

    // A new folder is announced (presenter_e2e.sh sees it stored and written);
    // the same one again or a cancelled choice write and send nothing.
    void photoFolderChoice()
    {
        ThreadedListener annotation("Scribvane");
        QVERIFY(annotation.isListening());
        QSettingDlg dialog(m_settings);
        auto *browse = part<QPushButton>(dialog, "pushButtonBrowser");
        m_dialogs.m_chosenFolder = m_work.path() + "/photos";
        browse->click();
        QTRY_COMPARE(annotation.texts(), QByteArrayList{"Update"});
        QVERIFY(QFile::remove(settingsFile()));
        browse->click();
        m_dialogs.m_chosenFolder.clear();
        browse->click();
        QVERIFY(!QFile::exists(settingsFile()));
        QCOMPARE(m_settings.m_strImagePath, QFile::encodeName(m_work.path() + "/photos"));
        waitForAnnotationCommands();
        QCOMPARE(annotation.texts().size(), 1);
    }

private:
    RecordingDialogs m_dialogs;
    QTemporaryDir m_work;
    SettingsStrings m_settings;
};

QTEST_MAIN(TestSettingDialog)
#include "test_settingdialog.moc"

// What the scanner window asks of its libraries: the camera library's crop and
// mouse calls are replaced by recorders linked into this test, which take
// precedence over the library's own; the PDF library's AddImage keeps a copy of
// each image it is given before the real one runs.

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QDir>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <dlfcn.h>
#include <memory>
#include <tuple>

#include "app/kelvora.h"
#include "common/log.h"
#include "common/programwide.h"
#include "pagefold.h"
#include "platform/tempfolder.h"
#include "optrelle.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "scanner/qvideowidget.h"

namespace {
QStringList calls;
QByteArrayList addedImages;

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return process.readAllStandardOutput();
}
} // namespace

extern "C" {
void fnEnableAutoCrop(int index, bool on)
{
    calls << QStringLiteral("fnEnableAutoCrop(%1, %2)").arg(index).arg(on);
}
void fnSetMouseMode(int index, int mode)
{
    calls << QStringLiteral("fnSetMouseMode(%1, %2)").arg(index).arg(mode);
}
void fnOnLMouseDown(OptrelleWindowId window, int x, int y)
{
    calls << QStringLiteral("down %1 %2 %3").arg(window).arg(x).arg(y);
}
void fnOnMouseMove(OptrelleWindowId window, int x, int y)
{
    calls << QStringLiteral("move %1 %2 %3").arg(window).arg(x).arg(y);
}
void fnOnLMouseUp(OptrelleWindowId window, int x, int y)
{
    calls << QStringLiteral("up %1 %2 %3").arg(window).arg(x).arg(y);
}
bool AddImage(const char *path)
{
    QFile image(QString::fromLocal8Bit(path));
    image.open(QIODevice::ReadOnly);
    addedImages << image.readAll();
    static const auto real = reinterpret_cast<bool (*)(const char *)>(dlsym(RTLD_NEXT, "AddImage"));
    return real(path);
}
}

class TestScannerLibraryCalls : public QObject
{
    Q_OBJECT

private:
    RecordingDialogs m_dialogs;
    RecordingLauncher m_launcher;
    std::unique_ptr<Kelvora> m_bar;
    QString m_capFolder;

    template <typename T> T *child(const char *name) const
    {
        return scannerWindow->findChild<T *>(QLatin1String(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile::remove(logFilePath()); // a line from an earlier run proves nothing
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@640x480");
        m_bar = std::make_unique<Kelvora>();
        m_capFolder = QDir::tempPath() + QStringLiteral("/pdf captures");
        QDir(m_capFolder).removeRecursively();
        QDir().mkpath(m_capFolder);
        launcherWindow->m_strCapPath = m_capFolder.toLocal8Bit();
        QMetaObject::invokeMethod(m_bar.get(), "OnShowVideo");
        QVERIFY(QTest::qWaitForWindowExposed(scannerWindow));
    }

    void cleanupTestCase() { m_bar.reset(); }

    void cropBoxesMakeTheirCallsInOrder()
    {
        auto *autoCrop = child<QCheckBox>("checkBoxAutoCrop");
        auto *manualCrop = child<QCheckBox>("checkBoxManualCrop");
        const QString autoOn = "fnEnableAutoCrop(0, 1)", autoOff = "fnEnableAutoCrop(0, 0)";
        const QString normalMouse = "fnSetMouseMode(0, 0)", cropMouse = "fnSetMouseMode(0, 1)";
        // The box clicked, the calls it makes, then whether each box is checked.
        const std::tuple<QCheckBox *, QStringList, bool, bool> steps[] = {
            {autoCrop, {normalMouse, autoOn}, true, false},
            {manualCrop, {autoOff, cropMouse}, false, true},
            {autoCrop, {normalMouse, autoOn}, true, false},
            {autoCrop, {autoOff}, false, false},
            {manualCrop, {autoOff, cropMouse}, false, true},
            {manualCrop, {normalMouse}, false, false},
        };
        for (const auto &[clicked, expectedCalls, autoAfter, manualAfter] : steps) {
            calls.clear();
            clicked->click();
            QCOMPARE(calls, expectedCalls);
            QCOMPARE(autoCrop->isChecked(), autoAfter);
            QCOMPARE(manualCrop->isChecked(), manualAfter);
        }
    }

    void forwardsTheMouseOverThePreview()
    {
        QWidget *preview = child<QWidget>("widgetPreview");
        const QString id = QString::number(preview->winId());
        calls.clear();
        const auto send = [preview](QEvent::Type type, QPoint at, Qt::MouseButton button,
                                    Qt::MouseButtons held) {
            QMouseEvent event(type, at, preview->mapToGlobal(at), button, held, Qt::NoModifier);
            QApplication::sendEvent(preview, &event);
        };
        send(QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, {30, 40}, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, {50, 60}, Qt::LeftButton, Qt::NoButton);
        send(QEvent::MouseButtonPress, {5, 6}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(calls, (QStringList{"down " + id + " 10 20", "move " + id + " 30 40",
                                     "up " + id + " 50 60", "down " + id + " 5 6"}));
    }

    void capturesToAOnePagePdfOrNothing()
    {
        addedImages.clear();
        child<QPushButton>("pushButtonPDFCap")->click();
        const QStringList pdfs = QDir(m_capFolder).entryList({"*.pdf"});
        QCOMPARE(pdfs.size(), 1);
        QVERIFY(QRegularExpression("^\\d{14}\\.pdf$").match(pdfs[0]).hasMatch());
        const QString pdf = m_capFolder + '/' + pdfs[0];
        QCOMPARE(addedImages.size(), 1);
        QVERIFY(addedImages[0].startsWith("\xff\xd8"));

        const QByteArray info = run("pdfinfo", {pdf});
        QVERIFY2(info.contains("Pages:           1\n"), info.constData());
        const auto size = QRegularExpression("Page size: +([0-9.]+) x ([0-9.]+) pts").match(info);
        QVERIFY(size.hasMatch() && qAbs(size.captured(1).toDouble() / size.captured(2).toDouble() -
                                        640.0 / 480) < 0.001);
        const QString extracted = QDir::tempPath() + QStringLiteral("/extracted");
        run("pdfimages", {"-j", pdf, extracted});
        QFile page(extracted + "-000.jpg");
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll() == addedImages[0]);
        QCOMPARE(QDir(privateTemporaryFolder()).entryList(QDir::Files), QStringList());

        // A PDF that cannot be written leaves nothing and is logged.
        const QString missing = m_capFolder + QStringLiteral("/missing");
        launcherWindow->m_strCapPath = missing.toLocal8Bit();
        child<QPushButton>("pushButtonPDFCap")->click();
        launcherWindow->m_strCapPath = m_capFolder.toLocal8Bit();
        QVERIFY(!QFileInfo::exists(missing));
        QCOMPARE(QDir(m_capFolder).entryList({"*.pdf"}).size(), 1);
        QVERIFY(m_dialogs.m_messages.last().startsWith(QStringLiteral("提示|PDF文件无法保存")));
        QFile log(logFilePath());
        QVERIFY(log.open(QIODevice::ReadOnly) &&
                log.readAll().contains("PDF生成失败: " + missing.toLocal8Bit()));
        QCOMPARE(QDir(privateTemporaryFolder()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestScannerLibraryCalls)
#include "test_scannerlibrarycalls.moc"

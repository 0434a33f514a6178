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
#include "scannerstart.h"
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
// Starts what it is asked to, but Tesseract fails on the image m_failing.
struct FailingPageLauncher : RecordingLauncher
{
    QProcess *start(const QString &program, const QStringList &arguments,
                    const QProcessEnvironment &environment, QObject *parent) override
    {
        const bool fail = !m_failing.isEmpty() && arguments.contains(m_failing);
        return RecordingLauncher::start(fail ? QStringLiteral("false") : program, arguments,
                                        environment, parent);
    }
    QString m_failing;
};
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
    FailingPageLauncher m_launcher;
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
        m_capFolder = startScanner(m_bar, "0ac8:c498@640x480", "pdf captures");
        QVERIFY(!m_capFolder.isEmpty());
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

    // Three stills of the desk, searchable: each page keeps its JPEG and gets the
    // words, invisible, where the picture shows them.
    void mergesStillsIntoASearchablePdf()
    {
        for (int still = 0; still < 3; ++still)
            child<QPushButton>("pushButtonCapture")->click();
        const QStringList stills = QDir(m_capFolder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        QCOMPARE(stills.size(), 3);
        child<QCheckBox>("checkBoxSearchablePDF")->click();
        const auto newestPdf = [this] {
            return m_capFolder + '/' +
                   QDir(m_capFolder).entryList({"*.pdf"}, QDir::Files, QDir::Time)[0];
        };
        child<QPushButton>("pushButtonMergePDF")->click();
        const QString pdf = newestPdf();
        QVERIFY(run("pdfinfo", {pdf}).contains("Pages:           3\n"));
        const QString extracted = QDir::tempPath() + QStringLiteral("/searchable");
        run("pdfimages", {"-j", pdf, extracted});
        for (int page = 1; page <= 3; ++page) {
            QFile image(extracted + QString("-%1.jpg").arg(page - 1, 3, 10, QChar('0')));
            QFile still(m_capFolder + '/' + stills[page - 1]);
            QVERIFY(image.open(QIODevice::ReadOnly) && still.open(QIODevice::ReadOnly));
            QVERIFY(image.readAll() == still.readAll());
            const QString number = QString::number(page);
            const QByteArray text = run("pdftotext", {"-f", number, "-l", number, pdf, "-"});
            for (const char *line : {"Kelvora document camera", "The quick brown fox"})
                QVERIFY2(text.simplified().contains(line), text.constData());
            // "Kelvora" begins the second line of print, 11.8 % from the page's left
            // edge and 35.8 % from its top (the simulated desk's layout).
            const QByteArray boxes =
                run("pdftotext", {"-bbox", "-f", number, "-l", number, pdf, "-"});
            const auto pageBox =
                QRegularExpression(R"re(<page width="([\d.]+)" height="([\d.]+)")re").match(boxes);
            const auto word =
                QRegularExpression(
                    R"re(xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">Kelvora<)re")
                    .match(boxes);
            QVERIFY2(pageBox.hasMatch() && word.hasMatch(), boxes.constData());
            const double width = pageBox.captured(1).toDouble();
            const double height = pageBox.captured(2).toDouble();
            QVERIFY(qAbs(word.captured(1).toDouble() / width - 0.118) < 0.03);
            QVERIFY(word.captured(2).toDouble() / height < 0.358 + 0.01);
            QVERIFY(word.captured(3).toDouble() / height > 0.358 - 0.01);
        }
        QCOMPARE(QDir(privateTemporaryFolder()).entryList(QDir::Files), QStringList());

        // The batch began again: the stills are chosen; the second is not recognised,
        // keeps its picture without text, and the user is told.
        for (const QString &still : stills)
            m_dialogs.m_chosenFiles << m_capFolder + '/' + still;
        m_launcher.m_failing = m_dialogs.m_chosenFiles[1];
        child<QPushButton>("pushButtonMergePDF")->click();
        QVERIFY(
            m_dialogs.m_messages.last().startsWith(QStringLiteral("提示|第 2 页的文字无法识别")));
        const QString second = newestPdf();
        QVERIFY(run("pdfinfo", {second}).contains("Pages:           3\n"));
        QVERIFY(!run("pdftotext", {"-f", "2", "-l", "2", second, "-"}).contains("Kelvora"));
        QVERIFY(run("pdftotext", {"-f", "3", "-l", "3", second, "-"}).contains("Kelvora"));
        child<QCheckBox>("checkBoxSearchablePDF")->click();
    }
};

QTEST_MAIN(TestScannerLibraryCalls)
#include "test_scannerlibrarycalls.moc"

// What the scanner window asks of the camera library for cropping and the
// mouse: the library's crop and mouse calls are replaced by recorders linked
// into this test, which take precedence over the library's own.

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QTest>

#include <memory>

#include "app/kelvora.h"
#include "common/programwide.h"
#include "optrelle.h"
#include "recordingdialogs.h"
#include "recordinglauncher.h"
#include "scanner/qvideowidget.h"

namespace {
QStringList calls;
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
}

class TestScannerLibraryCalls : public QObject
{
    Q_OBJECT

private:
    RecordingDialogs m_dialogs;
    RecordingLauncher m_launcher;
    std::unique_ptr<Kelvora> m_bar;

    template <typename T> T *child(const char *name) const
    {
        return scannerWindow->findChild<T *>(QLatin1String(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("OPTRELLE_BACKEND", "sim");
        qputenv("OPTRELLE_CAMERAS", "0ac8:c498@640x480");
        m_bar = std::make_unique<Kelvora>();
        QMetaObject::invokeMethod(m_bar.get(), "OnShowVideo");
        QVERIFY(QTest::qWaitForWindowExposed(scannerWindow));
    }

    void cleanupTestCase() { m_bar.reset(); }

    void cropBoxesMakeTheirCallsInOrder()
    {
        auto *autoCrop = child<QCheckBox>("checkBoxAutoCrop");
        auto *manualCrop = child<QCheckBox>("checkBoxManualCrop");
        struct Step
        {
            QCheckBox *clicked;
            QStringList expectedCalls;
            bool autoAfter, manualAfter;
        };
        const QString autoOn = "fnEnableAutoCrop(0, 1)", autoOff = "fnEnableAutoCrop(0, 0)";
        const QString normalMouse = "fnSetMouseMode(0, 0)", cropMouse = "fnSetMouseMode(0, 1)";
        const Step steps[] = {
            {autoCrop, {normalMouse, autoOn}, true, false},
            {manualCrop, {autoOff, cropMouse}, false, true},
            {autoCrop, {normalMouse, autoOn}, true, false},
            {autoCrop, {autoOff}, false, false},
            {manualCrop, {autoOff, cropMouse}, false, true},
            {manualCrop, {normalMouse}, false, false},
        };
        for (const Step &step : steps) {
            calls.clear();
            step.clicked->click();
            QCOMPARE(calls, step.expectedCalls);
            QCOMPARE(autoCrop->isChecked(), step.autoAfter);
            QCOMPARE(manualCrop->isChecked(), step.manualAfter);
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
};

QTEST_MAIN(TestScannerLibraryCalls)
#include "test_scannerlibrarycalls.moc"

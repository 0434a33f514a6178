#include "qmainwidget.h"
#include "ui_qmainwidget.h"

#include <QCursor>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QImageReader>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QScreen>
#include <QSignalBlocker>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "camera/barcodelink.h"
#include "camera/cameramodels.h"
#include "camera/commandbarlayout.h"
#include "camera/nosignalmark.h"
#include "camera/presentercommand.h"
#include "camera/qbottomlayer.h"
#include "camera/qfocuswidget.h"
#include "camera/qsnapwidget.h"
#include "camera/qsubcamwidget.h"
#include "camera/qtoplayer.h"
#include "camera/stillcapture.h"
#include "camera/zoomindicator.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "optrelle.h"
#include "platform/dialogs.h"
#include "platform/programlauncher.h"
#include "platform/windowplacement.h"
#include "shell/annotationprogram.h"
#include "shell/qsettingdlg.h"
#include "shell/rotationfile.h"
#include "shell/settingsstrings.h"
#include "viewing/picturestage.h"
#include "viewing/qimageitem.h"

namespace {
constexpr int pictureMode = 4; // picture property value 4; 0 is text mode
constexpr int zoomTipTicks = 6;
constexpr int zoomProperty = 5; // the camera control of the optical zoom

// Runs on the camera's capture thread.
void onVideoFrame(const void *data, int width, int height, int)
{
    if (presenterView)
        presenterView->storeFrame(data, width, height);
}

struct BarButton
{
    QPushButton *Ui::QMainWidget::*button;
    int slot; // position in the bar; 7..9 are the resolution list's
    const char *icon;
    const char *tooltip;
};

const BarButton barButtons[] = {
    {&Ui::QMainWidget::pushButtonSettings, 0, ":/Resources/images/settings.png", "设置"},
    {&Ui::QMainWidget::pushButtonSubCam, 1, ":/Resources/images/sub.png", "副摄像头"},
    {&Ui::QMainWidget::pushButtonSwitch, 2, ":/Resources/images/swich.png", "主副切换"},
    {&Ui::QMainWidget::pushButtonRealSize, 3, ":/Resources/images/11.png", "实际大小"},
    {&Ui::QMainWidget::pushButtonFitSize, 4, ":/Resources/images/fitsrn.png", "全屏"},
    {&Ui::QMainWidget::pushButtonZoomIn, 5, ":/Resources/images/zoomin.png", "放大"},
    {&Ui::QMainWidget::pushButtonZoomOut, 6, ":/Resources/images/zoomout.png", "缩小"},
    {&Ui::QMainWidget::pushButtonRotLeft, 10, ":/Resources/images/rotleft.png", "左转"},
    {&Ui::QMainWidget::pushButtonRotRight, 11, ":/Resources/images/rotright.png", "右转"},
    {&Ui::QMainWidget::pushButtonComp, 12, ":/Resources/images/comp.png", "同屏对比"},
    {&Ui::QMainWidget::pushButtonCapture, 13, ":/Resources/images/cap.png", "拍照"},
    {&Ui::QMainWidget::pushButtonRecord, 14, ":/Resources/images/videoprop.png", "视频属性"},
    {&Ui::QMainWidget::pushButtonLock, 15, ":/Resources/images/lock.png", "冻结"},
    {&Ui::QMainWidget::pushButtonFullSrn, 16, ":/Resources/images/full.png", "最大化"},
    {&Ui::QMainWidget::pushButtonMin, 17, ":/Resources/images/T.png", "文本模式"},
    {&Ui::QMainWidget::pushButtonReadBar, 18, ":/Resources/images/barcode.png", "二维码识别"},
    {&Ui::QMainWidget::pushButtonFocus, 19, ":/Resources/images/focus.png", "光学变焦"},
    {&Ui::QMainWidget::pushButtonSpotlight, 20, ":/Resources/images/spotlight.png", "聚光灯"},
};

QRect workArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}
} // namespace

QMainWidget::QMainWidget(SettingsStrings &settings, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QMainWidget>()), m_settings(settings)
{
    ui->setupUi(this);
    presenterView = this;
    writeLog("准备创建视频窗口");
    buildPictureStage();

    createFloatingTools();

    setWindowTitle(QStringLiteral("DuzeVovad"));
    connect(&m_commandListener, &CopyDataListener::received, this,
            &QMainWidget::onAnnotationCommand);
    m_commandListener.listen(windowTitle());
    writeLog("准备打开摄像头启动预览");

    findCameras();
    if (m_nMainCam < 0) {
        Dialogs::current().message(QStringLiteral("请连接设备!"), QString());
        std::exit(0);
    }
    // Before the first frame can come: a frame waiting unannounced would keep the
    // buffer from announcing any later one.
    connect(this, &QMainWidget::frameChange, this, &QMainWidget::OnFrameChange);
    openMainCamera();
    fillResolutionList();
    ui->pushButtonOpenFolder->hide();

    createSpotlight();
    m_nTimerId = startTimer(200);
    setWindowIcon(QIcon(QString::fromLocal8Bit(programFolder() + "res/logo.png")));
    connectSignals();
}

QMainWidget::~QMainWidget()
{
    writeLog("~QMainWidget()");
    // Once this returns the callback is not running and never runs again.
    fnCloseCamera(m_nMainCam);
    // The secondary camera may be feeding this view after a swap, and paints into
    // a window that goes with it.
    if (m_pSubCamWidget)
        fnCloseCamera(m_nSubCam);
    killTimer(m_nTimerId);
    QImageItem::setZoomScaleListener(nullptr);
    livePictureItem = nullptr;
    presenterView = nullptr;
}

void QMainWidget::createFloatingTools()
{
    const QRect desk = workArea();
    m_pSnapWidget = std::make_unique<QSnapWidget>();
    m_pSnapWidget->move(desk.width() - m_pSnapWidget->width() - 50,
                        desk.height() - m_pSnapWidget->height() - 60);
    m_pSnapWidget->hide();
    m_pFocusWidget = std::make_unique<QFocusWidget>();
    m_pFocusWidget->move((desk.width() - m_pFocusWidget->width()) / 2, desk.height() - 92);
    m_pFocusWidget->hide();
}

// Both layers cover the work area but its bottom 40 pixels, where the bar stays
// reachable; their coordinates coincide.
void QMainWidget::createSpotlight()
{
    const QRect desk = workArea();
    m_pBottomLayer = std::make_unique<QBottomLayer>();
    m_pTopLayer = std::make_unique<QTopLayer>();
    for (QWidget *layer : {static_cast<QWidget *>(m_pBottomLayer.get()),
                           static_cast<QWidget *>(m_pTopLayer.get())}) {
        layer->resize(desk.width(), desk.height() - 40);
        layer->move(0, 0);
        layer->hide();
    }
    m_pTopLayer->setTarget(m_pBottomLayer.get());
}

void QMainWidget::buildPictureStage()
{
    const PictureStage stage = ::buildPictureStage(this, ui->widget, StageView::Live);
    m_pScene = stage.scene;
    m_pItem = stage.item;
    m_pView = stage.view;
    livePictureItem = m_pItem;

    m_pZoomText = new QGraphicsTextItem;
    m_pZoomText->setDefaultTextColor(QColor(200, 28, 32));
    QFont font(QStringLiteral("黑体"), 30);
    font.setWeight(QFont::Light);
    m_pZoomText->setFont(font);
    m_pZoomText->hide();
    m_pScene->addItem(m_pZoomText);
    QImageItem::setZoomScaleListener([](float scale) {
        if (presenterView) {
            presenterView->showZoomScale(scale);
            presenterView->showPictureLevel(false); // zoomed in past the level: full frame
        }
    });

    m_pNoSignalMark = new NoSignalMark(m_pView);
    m_pView->setBackgroundBrush(QColor(9, 96, 57));
    m_pView->resize(ui->widget->size());
    m_pView->move(0, 0);
}

void QMainWidget::findCameras()
{
    m_nMainCam = -1;
    m_nDevRotate = 0;
    m_nRotate = 0;
    const QByteArray rotations = readRotationValue();

    fnInit();
    m_nCamCount = fnGetCameraCount();
    writeLog("摄像头个数为%d", m_nCamCount);
    for (int index = 0; index < m_nCamCount; ++index) {
        const QByteArray pid = fnGetCameraPID(index), vid = fnGetCameraVID(index);
        if (isMainCameraModel(pid, vid)) {
            m_nMainCam = index;
            m_mainPid = pid;
            m_mainVid = vid;
            m_nDevRotate = rotationForCamera(rotations, pid + '&' + vid);
            break;
        }
    }

    m_nSubCam = -1;
    for (int index = 0; index < m_nCamCount; ++index) {
        if (index == m_nMainCam)
            continue;
        const QByteArray pid = fnGetCameraPID(index), vid = fnGetCameraVID(index);
        m_nSubCam = index;
        writeLog("副头pid=%s, vid=%s %s", pid.constData(), vid.constData(),
                 secondaryCameraLabel(pid, vid));
        break;
    }
    writeLog("主头索引为: %d, 副头索引为: %d", m_nMainCam, m_nSubCam);
}

void QMainWidget::openMainCamera()
{
    fnSetDefaultResolution(m_nMainCam, 0);
    writeLog("启动摄像头%d预览", m_nMainCam);
    fnOpenCamera(m_nMainCam, m_pSnapWidget->winId());
    writeLog("设置视频回调");
    fnSetVideoCB(m_nMainCam, reinterpret_cast<void *>(&onVideoFrame));
    fnSetVideoProcAmp(m_nMainCam, 5, pictureMode, 0);
    writeLog("准备初始化分辨率");
}

void QMainWidget::connectSignals()
{
    connect(ui->comboBoxRes, &QComboBox::currentIndexChanged, this,
            &QMainWidget::onResolutionChange);
    const struct
    {
        QPushButton *button;
        void (QMainWidget::*slot)();
    } clicks[] = {
        {ui->pushButtonSettings, &QMainWidget::onSettings},
        {ui->pushButtonSubCam, &QMainWidget::onSubCam},
        {ui->pushButtonRealSize, &QMainWidget::OnShowRealSize},
        {ui->pushButtonFitSize, &QMainWidget::OnShowFitSize},
        {ui->pushButtonZoomIn, &QMainWidget::OnZoomIn},
        {ui->pushButtonZoomOut, &QMainWidget::OnZoomOut},
        {ui->pushButtonRotLeft, &QMainWidget::rotateLeft},
        {ui->pushButtonRotRight, &QMainWidget::rotateRight},
        {ui->pushButtonComp, &QMainWidget::onCompare},
        {ui->pushButtonCapture, &QMainWidget::onCapture},
        {ui->pushButtonRecord, &QMainWidget::onRecord},
        {ui->pushButtonLock, &QMainWidget::OnLock},
        {ui->pushButtonFullSrn, &QMainWidget::OnFullSrn},
        {ui->pushButtonMin, &QMainWidget::onMin},
        {ui->pushButtonReadBar, &QMainWidget::onReadBarcode},
        {ui->pushButtonFocus, &QMainWidget::onToggleFocus},
        {ui->pushButtonSpotlight, &QMainWidget::onSpotlight},
        {ui->pushButtonSwitch, &QMainWidget::onSwitch},
    };
    for (const auto &click : clicks)
        connect(click.button, &QPushButton::clicked, this, click.slot);
}

void QMainWidget::storeFrame(const void *data, int width, int height)
{
    m_pNoSignalMark->frameArrived();
    // A frozen picture is the first frame with its full size: zooming in needs that.
    if (m_bLocked && m_frameBuffer.newestHasFull())
        return;
    const LiveFrameBuffer::Stored stored = m_frameBuffer.store(data, width, height);
    // While a frame waits, the GUI thread has been told already: it takes the newest.
    if (stored.accepted && stored.notify)
        Q_EMIT frameChange(stored.sizeChanged);
}

void QMainWidget::OnFrameChange(bool refit)
{
    bool sizeChanged = false;
    if (m_frameBuffer.take(m_spareFrame, sizeChanged)) {
        std::swap(m_spareFrame, m_shownFrame);
        showPictureLevel(true); // lets go of the spare's pictures: the buffer reuses them
    } else if (!refit) {
        return; // its frame came with an earlier signal
    }
    const QSize size = m_shownFrame.size;
    if (size.isEmpty())
        return;
    refit = refit || sizeChanged;
    if (refit) {
        placePicture(size.width(), size.height());
        showPictureLevel(false);
    }
    // The comparison window gets the full frame (a pixmap shares its pixels); it is
    // made for every frame while this view is hidden behind that window.
    m_compareRefit = m_compareRefit || refit;
    if (!m_shownFrame.full.isNull())
        Q_EMIT frameShown(QPixmap::fromImage(m_shownFrame.full),
                          std::exchange(m_compareRefit, false));
}

void QMainWidget::showPictureLevel(bool newFrame)
{
    // A level covers the same place at the same size (its device pixel ratio is
    // its scale); it serves while a frame pixel is drawn at that scale or less.
    const QTransform toScreen = m_pItem->deviceTransform(m_pView->viewportTransform());
    const qreal scale = std::sqrt(std::abs(toScreen.determinant()));
    m_frameBuffer.setPainting(scale, m_bLocked || !isVisible());
    if (m_shownFrame.size.isEmpty())
        return;
    // A frame made while the full size was not wanted shows its level until the
    // next frame brings the full one.
    const QImage &level = m_shownFrame.level;
    const bool useLevel = !level.isNull() && (scale <= level.devicePixelRatio() * (1 + 1e-9) ||
                                              m_shownFrame.full.isNull());
    if (!newFrame && useLevel == m_showingLevel)
        return;
    m_showingLevel = useLevel;
    // The pixmap shares the picture's pixels and device pixel ratio.
    m_pItem->setPixmap(QPixmap::fromImage(useLevel ? level : m_shownFrame.full));
}

void QMainWidget::placePicture(int width, int height)
{
    m_nRotate = 0;
    const QRect area = ui->widget->rect();
    const bool turned = m_nDevRotate == 90 || m_nDevRotate == 270;
    if (m_nShowMode == 0) {
        fitPicture(m_pItem, m_pView, area, width, height);
    } else {
        m_pItem->resetTransform();
        m_pView->resetTransform();
        const int x = (area.width() - width) / 2, y = (area.height() - height) / 2;
        m_pItem->resetKeptScale();
        m_pItem->setOffset(x, y);
        m_pItem->zoomAt(1.0f, QPointF(x, y));
        m_pItem->setPos(0, 0);
    }
    if (m_nDevRotate == 90)
        rotateRight();
    else if (m_nDevRotate == 270)
        rotateLeft();
    if (turned && m_nShowMode == 0) {
        // The turned picture's width runs along the area's height: fill that.
        const QRect fit = fitRect(area, width, height);
        m_pItem->zoomAt(float(area.height()) / float(fit.width()), QPointF(-1, -1));
    }
}

QString QMainWidget::capturePhoto()
{
    const QByteArray path = newPhotoPath(m_settings);
    // Finished under a hidden name and renamed into place: the photo folder never
    // shows the still at the camera's size or not yet turned.
    QByteArray working = workingStillName(path);
    if (!captureStill(m_nMainCam, working)) {
        tellStillNotWritten(path);
        return {};
    }
    const QSize modelSize = modelStillSize(m_mainPid, m_mainVid);
    if (m_nResIndex == 0 && modelSize.isValid()) {
        fnResampleImage(working.data(), modelSize.width(), modelSize.height());
        const QSize kept = QImageReader(QString::fromLocal8Bit(working)).size();
        if (kept != modelSize)
            writeLog("照片未能缩放到 %dx%d, 保持 %dx%d: %s", modelSize.width(), modelSize.height(),
                     kept.width(), kept.height(), path.constData());
    }
    if (m_nRotate != 0)
        fnRotateImage(working.data(), m_nRotate);
    if (std::rename(working.constData(), path.constData()) != 0) {
        std::remove(working.constData());
        writeLog("拍照失败: %s", path.constData());
        tellStillNotWritten(path);
        return {};
    }
    return QString::fromLocal8Bit(path);
}

void QMainWidget::fillResolutionList()
{
    const QSignalBlocker quiet(ui->comboBoxRes);
    ui->comboBoxRes->clear();
    const int count = fnGetResCount(m_nMainCam);
    if (count <= 0)
        return;
    const QSize modelSize = modelStillSize(m_mainPid, m_mainVid);
    ui->comboBoxRes->addItem(
        modelSize.isValid() ? QStringLiteral("%1x%2").arg(modelSize.width()).arg(modelSize.height())
                            : QString());
    for (int res = 0; res < count; ++res)
        ui->comboBoxRes->addItem(QStringLiteral("%1x%2")
                                     .arg(fnGetResWidth(m_nMainCam, res))
                                     .arg(fnGetResHeight(m_nMainCam, res)));
    ui->comboBoxRes->setCurrentIndex(m_nResIndex);
}

void QMainWidget::onResolutionChange()
{
    const int entry = ui->comboBoxRes->currentIndex();
    if (entry < 0 || entry == m_nResIndex)
        return;
    m_nRotate = 0;
    // Entry 0 is the model's own still size over the camera's first resolution.
    fnSetResolution(m_nMainCam, entry < 2 ? 0 : entry - 1);
    m_nResIndex = entry;
}

void QMainWidget::OnLock()
{
    m_bLocked = !m_bLocked;
    showPictureLevel(false);
}

void QMainWidget::rotateLeft()
{
    m_nRotate = (m_nRotate + 270) % 360;
    if (livePictureItem)
        livePictureItem->turnLeft();
}

void QMainWidget::rotateRight()
{
    m_nRotate = (m_nRotate + 90) % 360;
    if (livePictureItem)
        livePictureItem->turnRight();
}

void QMainWidget::onMin()
{
    if (m_nProcAmpBackup == 0) {
        fnSetVideoProcAmp(m_nMainCam, 5, 0, 0);
        m_nProcAmpBackup = pictureMode;
    } else {
        fnSetVideoProcAmp(m_nMainCam, 5, m_nProcAmpBackup, 0);
        m_nProcAmpBackup = 0;
    }
    const bool textMode = ui->pushButtonMin->isChecked();
    ui->pushButtonMin->setToolTip(textMode ? QStringLiteral("图片模式")
                                           : QStringLiteral("文本模式"));
    ui->pushButtonMin->setIcon(QIcon(textMode ? QStringLiteral(":/Resources/images/P.png")
                                              : QStringLiteral(":/Resources/images/T.png")));
}

void QMainWidget::OnSnap()
{
    hide();
    m_pSnapWidget->show();
}

void QMainWidget::OnFullSrn()
{
    // From the available area to the whole screen, over the panels, and back.
    if (height() == workArea().height())
        WindowPlacement::coverWholeScreen(this);
    else
        WindowPlacement::coverAvailableArea(this);
    Q_EMIT frameChange(true);
}

void QMainWidget::OnShowRealSize()
{
    m_nShowMode = 1;
    Q_EMIT frameChange(true);
}

void QMainWidget::OnShowFitSize()
{
    m_nShowMode = 0;
    Q_EMIT frameChange(true);
}

void QMainWidget::OnZoomIn()
{
    m_pItem->zoomAt(1.2f, QPointF(-1, -1));
}

void QMainWidget::OnZoomOut()
{
    m_pItem->zoomAt(0.8333333f, QPointF(-1, -1));
}

void QMainWidget::onSettings()
{
    QSettingDlg dialog(m_settings);
    dialog.exec();
}

void QMainWidget::onSubCam()
{
    if (m_nSubCam < 0) {
        Dialogs::current().message(QStringLiteral("未发现副头"), QStringLiteral("提示"));
        return;
    }
    openSubCamWidget();
}

// Created once; showing it again does not reopen the camera.
void QMainWidget::openSubCamWidget()
{
    if (!m_pSubCamWidget) {
        m_pSubCamWidget = std::make_unique<QSubCamWidget>(m_settings);
        m_pSubCamWidget->openCamera(m_nSubCam);
    }
    m_pSubCamWidget->show();
}

// The presenter then draws the secondary camera's frames and the secondary window
// paints the main camera; every other command still addresses the main camera.
void QMainWidget::onSwitch()
{
    openSubCamWidget();
    void *callback = reinterpret_cast<void *>(&onVideoFrame);
    const OptrelleWindowId snapWindow = m_pSnapWidget->winId();
    const OptrelleWindowId subWindow = m_pSubCamWidget->previewWinId();
    if (!m_bSwitched) {
        fnSetVideoCB(m_nMainCam, nullptr);
        fnSetVideoCB(m_nSubCam, callback);
        fnSetHWND(m_nSubCam, snapWindow);
        fnSetHWND(m_nMainCam, subWindow);
    } else {
        fnSetVideoCB(m_nMainCam, callback);
        fnSetVideoCB(m_nSubCam, nullptr);
        fnSetHWND(m_nMainCam, snapWindow);
        fnSetHWND(m_nSubCam, subWindow);
    }
    m_bSwitched = !m_bSwitched;
}

void QMainWidget::onSpotlight()
{
    const bool on = ui->pushButtonSpotlight->isChecked();
    // The top layer is shown last so that it lies above the mask.
    m_pBottomLayer->setVisible(on);
    m_pTopLayer->setVisible(on);
}

void QMainWidget::onCompare()
{
    Q_EMIT compareAsked();
}

void QMainWidget::onReadBarcode()
{
    const QString text = QString::fromUtf8(fnReadBarcode(m_nMainCam));
    const QUrl link = barcodeLink(text);
    if (link.isValid())
        ProgramLauncher::current().open(link.toString(QUrl::FullyEncoded));
    else
        Dialogs::current().message(text, QStringLiteral("条码识别结果"));
}

void QMainWidget::getZoomRange(int &min, int &max, int &value, int &step, bool &automatic)
{
    min = fnGetCameraControl(m_nMainCam, zoomProperty, 1);
    max = fnGetCameraControl(m_nMainCam, zoomProperty, 2);
    value = fnGetCameraControl(m_nMainCam, zoomProperty, 5);
    step = fnGetCameraControl(m_nMainCam, zoomProperty, 3);
    automatic = false;
}

void QMainWidget::setZoomValue(int value, bool automatic)
{
    fnSetCameraProp(m_nMainCam, value, zoomProperty, automatic);
}

void QMainWidget::onToggleFocus()
{
    int min = 0, max = 0, value = 0, step = 0;
    bool automatic = false;
    getZoomRange(min, max, value, step, automatic);
    writeLog("lMin = %d, lMax = %d, val = %d step = %d", min, max, value, step);
    if (max <= 0 || max > 10000) {
        QPushButton *button = ui->pushButtonFocus;
        button->setToolTip(QStringLiteral("当前设备不支持光学变焦"));
        // Shown at once, not after the usual hover delay.
        QCoreApplication::postEvent(button,
                                    new QHelpEvent(QEvent::ToolTip, button->pos(), QCursor::pos()));
        return;
    }
    m_pFocusWidget->setVisible(ui->pushButtonFocus->isChecked());
}

void QMainWidget::onRecord()
{
    fnShowVideoProp(m_nMainCam);
}

void QMainWidget::onOpenFolder()
{
    ProgramLauncher::current().open(QString::fromLocal8Bit(m_settings.m_strWorkPath));
}

void QMainWidget::onCapture()
{
    capturePhoto();
}

void QMainWidget::showZoomScale(float scale)
{
    m_pZoomText->setPlainText(zoomIndicatorText(scale));
    m_pZoomText->setVisible(true);
    m_nZoomTipTicks = zoomTipTicks;
}

void QMainWidget::timerEvent(QTimerEvent *)
{
    if (m_nZoomTipTicks > 0) {
        m_pZoomText->setVisible(true);
        --m_nZoomTipTicks;
    } else {
        m_pZoomText->setVisible(false);
    }
}

void QMainWidget::mouseDoubleClickEvent(QMouseEvent *)
{
    sendAnnotationCommand(quint64(winId()), "Switch");
    Q_EMIT barSideAsked();
}

void QMainWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QSize area = ui->widget->size();
    m_pScene->setSceneRect(ui->widget->rect());
    m_pView->resize(area);
    m_pZoomText->setPos(area.width() / 2 - 80, area.height() / 2 - 20);

    const CommandBarMetrics metrics =
        commandBarMetrics(ui->widgetPanel->width(), ui->widgetPanel->height(), m_nSpacing);
    m_nBtnSize = metrics.buttonSize;
    m_nIconSize = metrics.iconSize;
    m_nMargin = metrics.margin;
    layoutButtons();
    applyButtonIcons();
    // The picture fits the area it was placed in: place it afresh in the new one.
    // Also the first frame can be placed before the launcher sizes the window.
    if (!m_pItem->pixmap().isNull())
        Q_EMIT frameChange(true);
}

void QMainWidget::layoutButtons()
{
    const CommandBarMetrics metrics{m_nBtnSize, m_nIconSize, m_nMargin, m_nSpacing};
    for (const BarButton &entry : barButtons)
        (ui.get()->*entry.button)->move(commandButtonPosition(entry.slot, metrics));
    ui->comboBoxRes->move(resolutionListPosition(metrics));
}

void QMainWidget::applyButtonIcons()
{
    for (const BarButton &entry : barButtons) {
        QPushButton *button = ui.get()->*entry.button;
        button->setIcon(QIcon(QString::fromLatin1(entry.icon)));
        button->setIconSize(QSize(m_nIconSize, m_nIconSize));
        button->setFlat(true);
        button->setFixedSize(m_nBtnSize, m_nBtnSize);
        button->setText(QString());
        button->setToolTip(QString::fromUtf8(entry.tooltip));
    }
    ui->pushButtonMin->setAttribute(Qt::WA_AlwaysShowToolTips);
}

void QMainWidget::onAnnotationCommand(const QByteArray &text)
{
    writeReceivedTextLog("收到CopyData消息: ", text);
    switch (presenterCommandIn(text)) {
    case PresenterCommand::RotateRight:
        rotateRight();
        break;
    case PresenterCommand::Photo:
        capturePhoto();
        break;
    case PresenterCommand::Enlarge:
        OnZoomIn();
        break;
    case PresenterCommand::Reduce:
        OnZoomOut();
        break;
    case PresenterCommand::Freeze:
        ui->pushButtonLock->click();
        break;
    case PresenterCommand::None:
        break;
    }
}

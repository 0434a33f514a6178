#include "kelvora.h"
#include "ui_kelvora.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>

#include "app/barlayout.h"
#include "camera/qmainwidget.h"
#include "camera/qsnapwidget.h"
#include "common/livesuntilexit.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "platform/dialogs.h"
#include "platform/programlauncher.h"
#include "platform/windowplacement.h"
#include "scanner/qvideowidget.h"
#include "shell/annotationprogram.h"
#include "shell/qscreenrecrect.h"
#include "shell/settingsfile.h"
#include "viewing/qcompareimage.h"
#include "viewing/qimageviewwidget.h"

namespace {
// Stands in for the Office path of the Windows program until the settings name one.
const QByteArray defaultPptPath = "/usr/bin/loimpress";

const char *const buttonIcons[barButtonCount] = {
    ":/Resources/images/compare.png", ":/Resources/images/rec.png",
    ":/Resources/images/PPT.png",     ":/Resources/images/edit.png",
    ":/Resources/images/snap.png",    ":/Resources/images/visualizer.png",
    ":/Resources/images/desktop.png", ":/Resources/images/exit.png",
};

QRect availableDesktop()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}
} // namespace

Kelvora::Kelvora()
    : QMainWindow(nullptr), SettingsStrings{{}, {}, defaultPptPath, {}, "jpg"},
      ui(std::make_unique<Ui::KelvoraClass>())
{
    ui->setupUi(this);
    m_buttons = {ui->pushButtonCompare, ui->pushButtonRecord, ui->pushButtonPPT,
                 ui->pushButtonEdit,    ui->pushButtonSnap,   ui->pushButtonVisualizer,
                 ui->pushButtonDesktop, ui->pushButtonExit};
    launcherWindow = this;
    // The only way between the tools and out of the program: above every window.
    WindowPlacement::keepAbove(this, WindowPlacement::Level::Topmost);
    writeLog("程序初始化");

    const QRect desk = availableDesktop();
    m_nDeskWidth = desk.width();
    m_nDeskHeight = desk.height();
    resize(barSize);
    m_nBarX = rightEdgeBarX(m_nDeskWidth);
    move(barPosition(m_nBarX, m_nDeskHeight));

    createPresenterView();
    writeLog("m_pDrawPanel创建对象");
    startAnnotationProgram();
    createToolWindows();

    connect(ui->pushButtonCompare, &QPushButton::clicked, this, &Kelvora::OnCompare);
    connect(ui->pushButtonRecord, &QPushButton::clicked, this, &Kelvora::OnRecSrn);
    connect(ui->pushButtonPPT, &QPushButton::clicked, this, &Kelvora::OnOpenPPT);
    connect(ui->pushButtonEdit, &QPushButton::clicked, this, &Kelvora::OnShowVideo);
    connect(ui->pushButtonSnap, &QPushButton::clicked, this, &Kelvora::OnSnap);
    connect(ui->pushButtonVisualizer, &QPushButton::clicked, this, &Kelvora::OnShowVisualizer);
    connect(ui->pushButtonDesktop, &QPushButton::clicked, this, &Kelvora::OnGotoDesktop);
    connect(ui->pushButtonExit, &QPushButton::clicked, this, &Kelvora::OnExit);

    loadWorkDirAndConfig();

    // The title is the launcher's address for the annotation program.
    setWindowTitle(QStringLiteral("VizaviRerer"));
    connect(&m_commandListener, &CopyDataListener::received, this, &Kelvora::onAnnotationCommand);
    m_commandListener.listen(windowTitle());
}

Kelvora::~Kelvora()
{
    writeLog("~Kelvora()");
    OnExit();
    launcherWindow = nullptr;
}

void Kelvora::toggleBarSide()
{
    const int deskHeight = availableDesktop().height();
    m_nBarX = m_nBarX == 0 ? rightEdgeBarX(m_nDeskWidth) : 0;
    move(barPosition(m_nBarX, deskHeight));
}

void Kelvora::showCompareWindow(int mode)
{
    showPresenterWindows(false, false);
    if (!m_pCompare)
        return;
    m_pCompare->showMode(mode);
}

void Kelvora::bringToFront()
{
    showPresenterWindows(true, false);
    m_pCompare->hide();
    if (m_pMainWidget) {
        m_pMainWidget->raise();
        m_pMainWidget->activateWindow();
    }
    raise();
}

void Kelvora::createPresenterView()
{
    writeLog("m_pMainWidget创建对象");
    // Ends the process when no document camera is plugged in.
    m_pMainWidget = std::make_unique<QMainWidget>(*this);
    QMainWidget *presenter = m_pMainWidget.get();
    connect(presenter, &QMainWidget::frameShown, this, [this](const QPixmap &frame, bool refit) {
        if (m_pCompare)
            m_pCompare->showLiveImage(frame, refit);
    });
    connect(presenter, &QMainWidget::compareAsked, this, [this] { showCompareWindow(1); });
    connect(presenter, &QMainWidget::barSideAsked, this, &Kelvora::toggleBarSide);
    presenter->setWindowFlags(Qt::FramelessWindowHint);
    WindowPlacement::coverAvailableArea(presenter);
    presenter->show();
}

// Created once, hidden; they live until the process ends.
void Kelvora::createToolWindows()
{
    const auto placeHidden = [](QWidget *window) {
        livesUntilExit(window);
        window->setWindowFlags(Qt::FramelessWindowHint);
        WindowPlacement::coverAvailableArea(window);
        window->hide();
    };
    writeLog("m_pCompare创建对象");
    m_pCompare = new QCompareImage(nullptr);
    placeHidden(m_pCompare);
    writeLog("m_pImageViewWidget创建对象");
    m_pImageViewWidget = new QImageViewWidget(nullptr);
    placeHidden(m_pImageViewWidget);
    m_pCompare->setSources({
        [this] { return m_pMainWidget ? m_pMainWidget->capturePhoto() : QString(); },
        [this] { return m_pMainWidget ? m_pMainWidget->m_nDevRotate : 0; },
        [this] { return m_strImagePath; },
        m_pImageViewWidget,
    });
    writeLog("m_pScreenRec创建对象");
    // Sizes itself to the desktop; no command shows it.
    m_pScreenRec = new QScreenRecRect(nullptr);
    livesUntilExit(m_pScreenRec);
    m_pScreenRec->hide();
    writeLog("m_pVideoWidget创建对象");
    m_pVideoWidget = new QVideoWidget(*this);
    livesUntilExit(m_pVideoWidget);
    WindowPlacement::coverAvailableArea(m_pVideoWidget);
    m_pVideoWidget->hide();
}

void Kelvora::showPresenterWindows(bool presenter, bool snapshot)
{
    if (!m_pMainWidget)
        return;
    m_pMainWidget->setVisible(presenter);
    m_pMainWidget->snapWidget()->setVisible(snapshot);
}

void Kelvora::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    const BarButtonMetrics metrics = barButtonMetrics(height(), m_nButtonSpacing);
    m_nButtonHeight = metrics.buttonHeight;
    m_nIconHeight = metrics.iconHeight;
    writeLog("resizeEvent");
    layoutButtons();
    applyButtonIcons();
    writeLog("初始化设置完成");
}

void Kelvora::layoutButtons()
{
    for (int row = 0; row < barButtonCount; ++row)
        m_buttons[row]->move(barButtonPosition(row, m_nButtonHeight, m_nButtonSpacing));
}

void Kelvora::applyButtonIcons()
{
    const BarButtonMetrics metrics = barButtonMetrics(height(), m_nButtonSpacing);
    for (int row = 0; row < barButtonCount; ++row) {
        QPushButton *button = m_buttons[row];
        button->setIcon(QIcon(QPixmap(QString::fromLatin1(buttonIcons[row]))));
        button->setIconSize(metrics.iconSize);
        button->setFlat(true);
        button->setFixedSize(metrics.buttonSize);
        button->setText(QString());
    }
}

bool Kelvora::event(QEvent *event)
{
    // Asking a window being torn down for its id would make a new one: the id is
    // kept while the window exists, for the "Exit" sent as the launcher closes.
    if (event->type() == QEvent::WinIdChange && internalWinId())
        m_windowId = quint64(internalWinId());
    return QMainWindow::event(event);
}

quint64 Kelvora::windowId()
{
    if (!m_windowId)
        m_windowId = quint64(winId());
    return m_windowId;
}

void Kelvora::clearAnnotationScreen()
{
    sendAnnotationCommand(windowId(), "ClearSrn", "查找到画板窗口");
}

void Kelvora::loadWorkDirAndConfig()
{
    m_strWorkPath = workDirectoryPath();
    writeLog("准备创建工作目录: %s", m_strWorkPath.constData());
    // A fresh account may have no Documents folder yet: create it too, or every
    // photo would fail for want of its folder. An existing folder is fine.
    QDir().mkpath(QString::fromLocal8Bit(m_strWorkPath));
    writeLog("准备读取配置信息");

    m_strPptPath = readSetting(m_strWorkPath, "pptpath");
    if (m_strPptPath.isEmpty())
        m_strPptPath = defaultPptPath;
    m_strImagePath = readSetting(m_strWorkPath, "imagepath");
    if (m_strImagePath.isEmpty())
        m_strImagePath = m_strWorkPath;
    m_strCapPath = readSetting(m_strWorkPath, "cappath");
    if (m_strCapPath.isEmpty())
        m_strCapPath = m_strWorkPath;
}

void Kelvora::onAnnotationCommand(const QByteArray &text)
{
    writeReceivedTextLog("Kelvora收到CopyData消息: ", text);
    if (!text.contains("Exit"))
        return;
    writeLog("Kelvora按钮退出");
    sendAnnotationCommand(windowId(), "Exit", "Kelvora查找到画板窗口");
    waitForAnnotationCommands();
    writeLog("Kelvora::winEvent 程序退出");
    // Ends at once, as the annotation program asked: no window is closed first.
    std::exit(0);
}

void Kelvora::OnExit()
{
    sendAnnotationCommand(windowId(), "Exit");
    waitForAnnotationCommands();
    writeLog("OnExit 程序退出");
    m_pMainWidget.reset();
    QCoreApplication::quit();
}

void Kelvora::OnGotoDesktop()
{
    clearAnnotationScreen();
    showPresenterWindows(false, false);
    m_pCompare->hide();
}

void Kelvora::OnShowVisualizer()
{
    clearAnnotationScreen();
    showPresenterWindows(true, false);
    m_pCompare->hide();
}

void Kelvora::OnCompare()
{
    clearAnnotationScreen();
    showCompareWindow(0);
}

void Kelvora::OnSnap()
{
    clearAnnotationScreen();
    m_pVideoWidget->hide();
    m_pCompare->hide();
    showPresenterWindows(false, true);
}

void Kelvora::OnRecSrn()
{
    clearAnnotationScreen();
    ProgramLauncher::current().open(QString::fromLocal8Bit(programFolder() + "Vesprin"));
}

void Kelvora::OnOpenPPT()
{
    clearAnnotationScreen();
    if (isExistingFile(m_strPptPath)) {
        ProgramLauncher::current().open(QString::fromLocal8Bit(m_strPptPath), QString(),
                                        ProgramLauncher::ShowState::Maximized);
    } else {
        Dialogs::current().message(QStringLiteral("请在设置对话框中设置PPT程序路径"),
                                   QStringLiteral("提示"));
    }
}

void Kelvora::OnShowVideo()
{
    clearAnnotationScreen();
    m_pVideoWidget->show();
    WindowPlacement::bringToFront(m_pVideoWidget);
    if (m_pMainWidget)
        m_pMainWidget->snapWidget()->hide();
    m_pCompare->hide();
}

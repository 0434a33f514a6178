#include "scribvane.h"

#include <QApplication>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSaveFile>

#include "common/stillname.h"
#include "kelvoralink.h"
#include "penlayer.h"
#include "platform/copydatasender.h"
#include "scribvanereceiver.h"
#include "shell/settingsfile.h"
#include "toolbar.h"
#include "x11desktop.h"

Scribvane::Scribvane(QObject *parent)
    : QObject(parent), m_layer(new PenLayer(m_model, compositorRunning())), m_toolBar(new ToolBar),
      m_receiver(new ScribvaneReceiver(this)), m_kelvora(new KelvoraLink(this)),
      m_keepAbove(new KeepAbove({m_layer, m_toolBar}, this))
{
    connect(m_toolBar, &ToolBar::toolChosen, this, &Scribvane::chooseTool);
    connect(m_toolBar, &ToolBar::widthChosen, this,
            [this](int index) { m_model.setWidthIndex(index); });
    connect(m_toolBar, &ToolBar::colourChosen, this, [this](int index) {
        m_model.setColourIndex(index);
        // Choosing a colour means drawing with it.
        if (m_model.tool() == InkTool::None || m_model.tool() == InkTool::Eraser)
            chooseTool(InkTool::Pen);
    });
    connect(m_toolBar, &ToolBar::undoRequested, this, [this] {
        if (m_model.undo())
            m_layer->inkChanged();
    });
    connect(m_toolBar, &ToolBar::redoRequested, this, [this] {
        if (m_model.redo())
            m_layer->inkChanged();
    });
    connect(m_toolBar, &ToolBar::clearRequested, this, [this] {
        if (m_model.clear())
            m_layer->inkChanged();
    });
    connect(m_toolBar, &ToolBar::saveRequested, this, &Scribvane::saveScreen);
    connect(m_toolBar, &ToolBar::cameraCommand, this, [this](const QByteArray &text) {
        m_kelvora->send(KelvoraLink::kPresenterTitle, text, quint64(m_toolBar->winId()));
    });
    connect(m_toolBar, &ToolBar::exitRequested, this, &Scribvane::leave);

    connect(m_receiver, &ScribvaneReceiver::exitRequested, qApp, &QCoreApplication::quit);
    connect(m_receiver, &ScribvaneReceiver::clearRequested, this,
            &Scribvane::clearInkAndStopDrawing);
    connect(m_receiver, &ScribvaneReceiver::switchRequested, m_toolBar, &ToolBar::moveToOtherEdge);
    connect(m_receiver, &ScribvaneReceiver::photoFolderChanged, this, &Scribvane::readPhotoFolder);
    readPhotoFolder();
}

Scribvane::~Scribvane()
{
    // Top-level windows without a parent, owned here.
    delete m_toolBar;
    delete m_layer;
}

bool Scribvane::start()
{
    if (!m_receiver->listen() && findWindow(ScribvaneReceiver::kTitle))
        return false;
    m_toolBar->show();
    m_toolBar->raise();
    return true;
}

void Scribvane::chooseTool(InkTool tool)
{
    m_model.setTool(tool);
    m_toolBar->showTool(tool);
    m_layer->toolChanged();
    m_toolBar->raise();
}

void Scribvane::clearInkAndStopDrawing()
{
    if (m_model.clear())
        m_layer->inkChanged();
    chooseTool(InkTool::None);
}

void Scribvane::readPhotoFolder()
{
    const QByteArray workPath = workDirectoryPath();
    m_photoFolder = readSetting(workPath, "imagepath");
    if (m_photoFolder.isEmpty())
        m_photoFolder = workPath;
}

void Scribvane::saveScreen()
{
    const QImage shot = m_layer->screenWithInk();
    const QString name = QString::fromLocal8Bit(timeStampStillName(m_photoFolder, "png"));
    // Written under a temporary name and renamed, so no reader sees half a picture.
    QSaveFile file(name);
    QImageWriter writer(&file, "png");
    if (file.open(QIODevice::WriteOnly) && writer.write(shot) && file.commit())
        return;
    const QString reason =
        writer.error() != QImageWriter::UnknownError ? writer.errorString() : file.errorString();
    auto *box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("提示"),
        QStringLiteral("无法保存屏幕到 %1：%2\n请在 Kelvora 的设置中检查照片文件夹。")
            .arg(name, reason));
    // Not modal: the channel and the ink stay live while the message is up.
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void Scribvane::leave()
{
    // Kelvora ends too and tells us "Exit"; without Kelvora we end once the
    // send is over, which never takes longer than the channel's reply limit.
    m_toolBar->hide();
    m_layer->hide();
    connect(m_kelvora, &KelvoraLink::sent, qApp, &QCoreApplication::quit);
    m_kelvora->send(KelvoraLink::kLauncherTitle, "Exit", quint64(m_toolBar->winId()));
}

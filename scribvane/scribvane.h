#pragma once

#include <QByteArray>
#include <QObject>

#include "strokemodel.h"

class KeepAbove;
class KelvoraLink;
class PenLayer;
class ScribvaneReceiver;
class ToolBar;

// The annotation program: the ink, its layer and tool bar, and both ends of the
// channel to Kelvora. Lives on the GUI thread for the whole process.
class Scribvane : public QObject
{
    Q_OBJECT

public:
    explicit Scribvane(QObject *parent = nullptr);
    ~Scribvane() override;

    // Listens as "Scribvane" and shows the tool bar. False when another
    // instance listens already; without a usable channel it still runs.
    bool start();

    // The folder saved screens go to: Kelvora's photo folder from its settings
    // file, or the work directory when none is set.
    QByteArray photoFolder() const { return m_photoFolder; }

private:
    void chooseTool(InkTool tool);
    void clearInkAndStopDrawing();
    void readPhotoFolder();
    void saveScreen();
    void leave();

    StrokeModel m_model;
    PenLayer *m_layer;
    ToolBar *m_toolBar;
    ScribvaneReceiver *m_receiver;
    KelvoraLink *m_kelvora;
    KeepAbove *m_keepAbove;
    QByteArray m_photoFolder;
};

#pragma once

// The four program-wide pointers. Each is set by the object it names, once, in
// its constructor, and stays valid until the process ends (the presenter view
// clears its own when it is destroyed). They are read on the GUI thread, except
// presenterView: the camera's capture thread reads it in the frame callback,
// which is why the presenter closes its cameras before it clears it.
class Kelvora;
class QMainWidget;
class QVideoWidget;
class QImageItem;

extern Kelvora *launcherWindow;     // the launcher bar
extern QMainWidget *presenterView;  // the presenter view, owner of the main camera
extern QVideoWidget *scannerWindow; // the scanner window
extern QImageItem *livePictureItem; // the presenter's live picture item

#include "programwide.h"

Kelvora *launcherWindow = nullptr;
QMainWidget *presenterView = nullptr;
QVideoWidget *scannerWindow = nullptr;
QImageItem *livePictureItem = nullptr;

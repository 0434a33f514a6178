#include "cameramodels.h"

namespace {
struct CameraModel
{
    const char *pid;
    const char *vid;
    const char *label;
    QSize stillSize;
};

// Listed in the order of the main camera search.
const CameraModel knownModels[] = {
    {"0c45", "6366", "(1)", QSize(4000, 3000)},
    {"15aa", "1555", "(2)", QSize(4000, 3000)},
    {"0ac8", "c498", "(3)", QSize(3264, 2448)},
};

const CameraModel *modelOf(const QByteArray &pid, const QByteArray &vid)
{
    for (const CameraModel &model : knownModels)
        if (pid == model.pid && vid == model.vid)
            return &model;
    return nullptr;
}
} // namespace

bool isMainCameraModel(const QByteArray &pid, const QByteArray &vid)
{
    return modelOf(pid, vid) != nullptr;
}

const char *secondaryCameraLabel(const QByteArray &pid, const QByteArray &vid)
{
    const CameraModel *model = modelOf(pid, vid);
    return model ? model->label : "(3)";
}

QSize modelStillSize(const QByteArray &pid, const QByteArray &vid)
{
    const CameraModel *model = modelOf(pid, vid);
    return model ? model->stillSize : QSize();
}

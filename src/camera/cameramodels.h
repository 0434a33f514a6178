#pragma once

#include <QByteArray>
#include <QSize>

// The document camera models Kelvora knows by their two id strings (as the camera
// library reports them for an index, compared whole and case-sensitively).

// Only these models can be the main camera.
bool isMainCameraModel(const QByteArray &pid, const QByteArray &vid);

// "(1)" or "(2)" for a known model, "(3)" for any other device: the label of the
// secondary camera in the log.
const char *secondaryCameraLabel(const QByteArray &pid, const QByteArray &vid);

// The size the model's stills are resampled to while the first resolution entry
// is chosen, which the resolution list offers as its first entry; invalid for a
// device of another model.
QSize modelStillSize(const QByteArray &pid, const QByteArray &vid);

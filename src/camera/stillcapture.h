#pragma once

#include <QByteArray>

struct SettingsStrings;

// The path of a new photo: a time-stamp name in the photo folder with the chosen
// image format.
QByteArray newPhotoPath(const SettingsStrings &settings);

// Stores a still of the camera at path. False, logged, when no complete file was
// written; the library then leaves none. A path past the system's limit is
// refused rather than cut.
bool captureStill(int camera, QByteArray path);
// Tells the user, in a message box, that no still could be written at path (a
// full or read-only folder); once per press, after captureStill failed.
void tellStillNotWritten(const QByteArray &path);

// The name a still is finished under before it is renamed to path: hidden, in
// the same folder, with the same extension (the library picks the format by it).
QByteArray workingStillName(const QByteArray &path);

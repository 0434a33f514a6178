#pragma once

#include <QByteArray>

// Per-camera picture rotations, kept in conf.ini beside the executable (section
// "Rotate", key "value") and never written by the program. The value is a run of
// entries "<PID>&<VID><any separator><degrees>|", e.g. "abcd&efgh=90|wxyz&1234:270|".

// The raw value, at most 999 bytes; empty when the file or key is missing.
QByteArray readRotationValue();

// The rotation in degrees of the camera with the 9-character key (PID&VID), or 0
// when it has no complete entry. The number always starts 10 bytes after the start
// of the key and ends at the first "|" behind the key, whatever the key's length.
int rotationForCamera(const QByteArray &value, const QByteArray &cameraKey);

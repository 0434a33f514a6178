#pragma once

#include <QString>

namespace optrelle {

// What the user reads when a camera would not start, by the errno of the device
// call that failed: another program holds it, the user may not open it, or it
// does not stream.
QString cameraStartFailureText(int error);

// Shows text in the library's one message box about cameras (caption "提示",
// no owner window, not modal): a box already shown takes the new text and comes
// to the front instead of a second one. GUI thread.
void showCameraMessage(const QString &text);

} // namespace optrelle

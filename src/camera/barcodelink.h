#pragma once

#include <QString>
#include <QUrl>

// The web link in a read code's text: from the first "http" up to the end of its
// line (CR LF, else LF, else the end of the text). Invalid when there is none or
// when it is no well-formed http or https address, so that nothing else is ever
// handed to the desktop to open.
QUrl barcodeLink(const QString &text);

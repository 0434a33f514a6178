#include "barcodelink.h"

QUrl barcodeLink(const QString &text)
{
    const qsizetype start = text.indexOf(QLatin1String("http"));
    if (start < 0)
        return {};
    qsizetype end = text.indexOf(QLatin1String("\r\n"), start);
    if (end < 0)
        end = text.indexOf(QLatin1Char('\n'), start);
    const QUrl link(text.mid(start, end < 0 ? -1 : end - start), QUrl::StrictMode);
    const bool web =
        link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https");
    if (!link.isValid() || !web || link.host().isEmpty())
        return {};
    return link;
}

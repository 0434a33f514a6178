#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcCopyData)

// The window-message channel: a window that receives text commands listens on a
// Unix-domain stream socket named after its title, in a folder only its user can
// enter. Each connection carries one record, little-endian:
//   u64 dwData (0) | u64 wParam (sender's window id) | u32 cbData | cbData bytes
// and the receiver answers one byte, 0, once it has handled the record.
// docs/copydata.md describes the exchange for the programs on the other side.
namespace CopyData {

constexpr int kHeaderSize = 20;
constexpr quint32 kMaxText = 64 * 1024;

struct Header
{
    quint64 dwData = 0;
    quint64 senderWindow = 0;
    quint32 textLength = 0;
};

// $XDG_RUNTIME_DIR/copydata/, or /tmp/copydata-<uid>/ when XDG_RUNTIME_DIR is
// unset, ending with "/". Creates it with mode 0700 and sets that mode on an
// existing one; empty (refused) when it is a symlink, not a folder, belongs to
// another user or cannot be created.
QString socketFolder();

// The socket of the window with that title: folder + title. Empty when the
// folder is refused or the title is no plain file name ("", ".", "..", a '/').
QString socketPath(const QString &title);

QByteArray encodeRecord(quint64 senderWindow, const QByteArray &text);

// Reads the header from the first kHeaderSize bytes of data.
Header decodeHeader(const QByteArray &data);

} // namespace CopyData

#pragma once

#include <QString>

// The system temporary folder, always ending with "/". It follows TMPDIR, which
// is how tests move it.
QString temporaryFolder();

// A folder of this process alone under the temporary folder, mode 0700, ending
// with "/": scanned pages and recognised text kept there cannot be read or
// planted by another user. Made at the first call (again if it was removed) and
// removed with its contents when the process ends. Empty when it cannot be made.
QString privateTemporaryFolder();

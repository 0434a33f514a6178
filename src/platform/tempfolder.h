#pragma once

#include <QString>

// The system temporary folder, always ending with "/". It follows TMPDIR, which
// is how tests move it.
QString temporaryFolder();

#pragma once

#include <QLoggingCategory>

// The library's diagnostics (QT_LOGGING_RULES="optrelle.debug=true" shows all).
Q_DECLARE_LOGGING_CATEGORY(optrelleLog)

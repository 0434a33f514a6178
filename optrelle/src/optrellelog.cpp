#include "optrellelog.h"

Q_LOGGING_CATEGORY(optrelleLog, "optrelle", QtInfoMsg)

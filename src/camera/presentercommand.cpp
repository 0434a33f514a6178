#include "presentercommand.h"

PresenterCommand presenterCommandIn(const QByteArray &text)
{
    static const struct
    {
        const char *word;
        PresenterCommand command;
    } byPriority[] = {
        {"RotateR", PresenterCommand::RotateRight}, {"Photo", PresenterCommand::Photo},
        {"ZommOut", PresenterCommand::Enlarge},     {"ZommIn", PresenterCommand::Reduce},
        {"FreeZe", PresenterCommand::Freeze},
    };
    for (const auto &entry : byPriority)
        if (text.contains(entry.word))
            return entry.command;
    return PresenterCommand::None;
}

#pragma once

#include <QString>

// Starts programs and opens files, folders and links, the way the shell's "open"
// verb does: an executable file is started detached with the parameters split
// into arguments; anything else goes to the desktop's default handler.
// The base class does it for real; tests install a recorder instead.
class ProgramLauncher
{
public:
    enum class ShowState
    {
        Normal,
        Maximized
    };

    virtual ~ProgramLauncher() = default;

    // Returns whether the program was started or the target handed over. The
    // show state is a wish: a detached X11 or Wayland program decides itself.
    virtual bool open(const QString &target, const QString &parameters = {},
                      ShowState show = ShowState::Normal);

    static ProgramLauncher &current();
    // Installs a test double; nullptr restores the real launcher. Not owned.
    static void replace(ProgramLauncher *launcher);
};

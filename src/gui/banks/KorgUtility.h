#pragma once

#include <functional>
#include <QString>

class Prompt;
class SBKModule;

// Hands one style to the external KORG utility named in the parameters: writes it as the work file
// "WRK.STY" in the user's own work folder (KorgWorkFile::userFolder), starts the utility without waiting for
// it, and types the work file's path into it. The typing is the program's to install (setTyper; on X11 it
// goes through the XTest extension); where no keystrokes can be delivered the path goes to the clipboard and
// a message says so.
class KorgUtility {
public:
    // Types the text into the window that takes the focus once the started utility shows; false
    // when no keystrokes can be delivered (another windowing system, no window took the focus).
    using Typer = std::function<bool(const QString& text)>;
    static void setTyper(Typer typer);

    enum class Outcome {
        NoProgram, // no utility set, or it is not there: the message says which
        NotStored, // the style is no longer stored (message shown): nothing written or started
        Failed,    // the work file not written or the utility not started (message shown), or a send going on
        Typed,     // started, and the path typed into it
        OnClipboard, // started, and the path put on the clipboard (message shown)
    };
    // name: the style's name, for the message when it is no longer stored. workFolder: where
    // "WRK.STY" goes; the user's own work folder when empty.
    static Outcome send(SBKModule& module, Prompt& prompt, qint32 style, const QString& name,
                        const QString& workFolder = QString());

private:
    static Typer& typer();
};

#pragma once
#include <windows.h>

namespace glimor::win32 {

// Called as a hot key with these modifiers (MOD_ALT, MOD_WIN, ...) arrives, before the screen is
// grabbed. The system swallowed the hot key's own key, so to the program with the focus the
// release of Alt looks like Alt pressed alone, which opens its menu bar (and the Windows key alone
// opens the Start menu). While such a modifier is still held, a key event of no key at all goes to
// that program first, and the release is an ordinary one. When it was let go already (a script, a
// quick hand), the program in front may be going into its menu's mode: that mode is ended, so
// that neither the picture nor the mouse is left to it.
void keepMenuBarClosed(UINT modifiers);

} // namespace glimor::win32

// The About panel: program name, version, build line, copyright, authors
// and home address, centred on the screen.
#pragma once

#include "3_panels/panel_window.h"

// Opens the About panel and runs it until q (and only q) is typed.
void about_panel();

// The steps of about_panel: open_about_panel draws it and updates the
// screen; run_about_panel runs its key loop and closes it.
PanelWindow open_about_panel();
void run_about_panel(PanelWindow &about);

// The panel's own texts.
inline constexpr const char *kAboutCopyright = "Copyright (c) the xq authors";
inline constexpr const char *kAboutAuthors = "Written by the xq developers";
// The address is split as the panel draws it: scheme, then the host name
// written over the blanks of "//         /". xq has no web site; its home is
// the machine it is installed on.
inline constexpr const char *kAboutScheme = "file:";
inline constexpr const char *kAboutHost = "localhost";

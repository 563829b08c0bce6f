#pragma once

class QWidget;

// Asks an X window manager for a title bar without buttons: no window menu,
// no minimise, maximise or close box, and no close through its menus. Qt
// states only which functions are allowed and leaves the decorations to the
// window manager's defaults; window managers that read the Motif hints
// (xfwm4, KWin, Mutter, Marco, ...) then show the title alone. Does nothing
// on other platforms. Creates the native window if it does not exist yet.
void requestTitleBarWithoutButtons(QWidget& window);

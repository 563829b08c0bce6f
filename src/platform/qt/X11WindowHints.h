#pragma once

class QWidget;

// Asks an X window manager for a title bar without buttons: no window menu,
// no minimise, maximise or close box, and no close through its menus. Qt
// states only which functions are allowed and leaves the decorations to the
// window manager's defaults; window managers that follow the Motif hints
// then show the title alone (openbox keeps its buttons). Does nothing
// on other platforms. The hints are written each time the window is about
// to be shown, before the window manager maps it: creating the native window
// any earlier, while the program starts, kept the tray's menu from opening
// later on (seen under openbox with trayer).
void requestTitleBarWithoutButtons(QWidget& window);

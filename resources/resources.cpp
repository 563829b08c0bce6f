#include "Resources.h"

#include <QtCore/QDir>

// Q_INIT_RESOURCE must be used outside any namespace, once per .qrc file.
static void initAll() {
    Q_INIT_RESOURCE(pingbox); // window pictures
    Q_INIT_RESOURCE(icons);   // tray icon, animation frames, application icon
    Q_INIT_RESOURCE(about);   // About window pictures
}

void initPingboxResources() {
    initAll();
}

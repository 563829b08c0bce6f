#include "Resources.h"

#include <QtCore/QDir>

static void initOnce() { Q_INIT_RESOURCE(pingbox); }

void initPingboxResources() { initOnce(); }

#include "Resources.h"
#include "platform/TApplication.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    initPingboxResources();
    app.SetTitle(QStringLiteral("Pingbox"));
    return app.Run();
}

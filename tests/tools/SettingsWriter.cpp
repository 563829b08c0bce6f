// Test helper: saves settings generations into <folder>/Pingbox.ini as fast
// as it can until killed. Each generation's values carry its number; they are
// written as one file so that a reader sees one generation whole.
#include "platform/linux/IniFileStore.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    IniFileStore store(QString::fromLocal8Bit(argv[1]));
    for (long generation = 0;; ++generation) {
        auto ini = store.Open(QStringLiteral("Pingbox"));
        const QString n = QString::number(generation) + QString(2000, QLatin1Char('x'));
        ini->WriteString(QStringLiteral("Server"), QStringLiteral("Host"), "host-" + n);
        ini->WriteString(QStringLiteral("Server"), QStringLiteral("User"), "user-" + n);
        ini->WriteString(QStringLiteral("Viewer"), QStringLiteral("Path"), "viewer-" + n);
        if (generation == 0) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
}

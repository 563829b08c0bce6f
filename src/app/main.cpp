// Program entry: one copy per program file, the four windows created once,
// then the message loop. The command line is ignored.
#include "Program.h"
#include "TMainForm.h"
#include "gui/TApplication.h"
#include "platform/linux/ProcessHardening.h"

#include <QtCore/QFile>

int main(int argc, char** argv) {
    keepSecretsOutOfDumps();
    TApplication app(argc, argv);
    // For the end-to-end tests only: what the window and the tray show, one a
    // line, until the window is gone.
    QFile stateLog(qEnvironmentVariable("PINGBOX_STATE_LOG"));
    Program program(app);
    if (!stateLog.fileName().isEmpty() && stateLog.open(QIODevice::Append | QIODevice::Text)) {
        program.MainForm().Observer = [&stateLog](const QString& what, const QString& text) {
            stateLog.write((what + QLatin1Char(' ') + text + QLatin1Char('\n')).toUtf8());
            stateLog.flush();
        };
    }
    if (app.Terminated())
        return 0; // another copy runs and has been brought forward
    program.Start();
    return program.Run();
}

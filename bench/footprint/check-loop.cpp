// Runs check after check through Pingbox's own configuration window, POP
// client and tray icon, put together by the program's own Program, and
// prints its own memory along the way. Only the message boxes are replaced
// (a box would wait for a user): every question is answered No, as a user who
// declines to start the viewer would. The blocking second after the sound is
// skipped so that thousands of checks fit in minutes.
//
//   check-loop [--checks N] [--seconds S]
//
// Settings come from $XDG_CONFIG_HOME/Pingbox.ini like Pingbox's own. One
// line per checkpoint on stdout:
//   checks N seconds T private_kb P private_dirty_kb D anonymous_kb A rss_kb R pss_kb S
//   heap_kb H counts C errors E
#include "app/Program.h"
#include "app/TMainForm.h"
#include "gui/TApplication.h"
#include "mail/ConnectionHandlers.h"
#include "platform/Dialogs.h"
#include "pop/POPControl.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QTimer>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <set>

namespace {

// Answers every question No and keeps nothing, so that the benchmark itself
// does not grow with the number of checks.
class AnswerNo : public Dialogs {
public:
    void MessageBeep(unsigned) override {}
    TModalResult MessageDlg(const QString&, TMsgDlgType, TMsgDlgButtons buttons) override {
        ++boxes;
        return buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrOk;
    }
    std::optional<QString> OpenFile(const OpenFileRequest&) override { return std::nullopt; }
    void ShowException(const QString& message) override {
        ++exceptions;
        std::fprintf(stderr, "exception: %s\n", qPrintable(message));
    }
    long boxes = 0;
    long exceptions = 0;
};

struct Memory {
    long rss = 0, pss = 0, privateKb = 0, privateDirtyKb = 0, anonymousKb = 0, heapKb = 0;
};

Memory ownMemory() {
    Memory m;
    QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
    if (rollup.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() < 2)
                continue;
            const long kb = f[1].toLong();
            if (f[0] == "Rss:")
                m.rss = kb;
            else if (f[0] == "Pss:")
                m.pss = kb;
            else if (f[0] == "Private_Clean:")
                m.privateKb += kb;
            else if (f[0] == "Private_Dirty:") {
                m.privateKb += kb;
                m.privateDirtyKb = kb;
            } else if (f[0] == "Anonymous:")
                m.anonymousKb = kb;
        }
    }
    m.heapKb = static_cast<long>(mallinfo2().uordblks / 1024);
    return m;
}

} // namespace

int main(int argc, char** argv) {
    long wanted = 10000;
    double seconds = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--checks"))
            wanted = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
    }

    TApplication app(argc, argv);
    AnswerNo dialogs;
    Program program(app, &dialogs);
    if (app.Terminated())
        return 2;
    TMainForm& mainForm = program.MainForm();
    POPControl& pop1 = program.Pop();
    mainForm.SleepFn = [](int) {};

    long done = 0, counts = 0, errors = 0;
    const std::set<long> checkpoints{1, 10, 100, 1000, 2000, 5000};
    QElapsedTimer clock;
    QTimer watchdog; // a check that never ends stops the run
    watchdog.setSingleShot(true);
    watchdog.setInterval(30000);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        std::fprintf(stderr, "check %ld did not end within 30 s\n", done + 1);
        app.exit(1);
    });
    auto report = [&] {
        const Memory m = ownMemory();
        std::printf("checks %ld seconds %.1f private_kb %ld private_dirty_kb %ld anonymous_kb %ld "
                    "rss_kb %ld pss_kb %ld heap_kb %ld counts %ld errors %ld\n",
                    done, clock.elapsed() / 1000.0, m.privateKb, m.privateDirtyKb, m.anonymousKb,
                    m.rss, m.pss, m.heapKb, counts, errors);
        std::fflush(stdout);
    };
    std::function<void()> next = [&] {
        if (pop1.State() != popClosed) {
            QTimer::singleShot(1, next);
            return;
        }
        watchdog.start();
        mainForm.StartCheck();
    };
    mainForm.Observer = [&](const QString& what, const QString& text) {
        if (what == QLatin1String("count")) {
            ++counts;
        } else if (text == ConnectionTexts::Error) {
            ++errors;
        } else if (text.startsWith(QLatin1String("Waiting to check email on:"))) {
            ++done;
            watchdog.stop();
            const bool last = done >= wanted || clock.elapsed() >= seconds * 1000;
            if (checkpoints.count(done) || done % 1000 == 0 || last)
                report();
            if (last)
                app.exit(0);
            else
                QTimer::singleShot(0, next);
        }
    };

    program.Start(); // a user name is stored: the first check starts at once
    mainForm.Timer1().SetEnabled(false);
    clock.start();
    watchdog.start();
    const int code = program.Run();
    mainForm.Observer = nullptr; // it reads the locals above, which go before the window
    return code != 0 ? code : (errors || dialogs.exceptions ? 1 : 0);
}

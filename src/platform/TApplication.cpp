#include "TApplication.h"

#include "Dialogs.h"
#include "Errors.h"

#include <QtCore/QFileInfo>
#include <QtWidgets/QWidget>

#include <cstdio>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Until the program names itself, its title is its file's name.
    title_ = QFileInfo(applicationFilePath()).completeBaseName();
    setQuitOnLastWindowClosed(false);
}

TApplication::~TApplication() = default;

TApplication* TApplication::Instance() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

void TApplication::SetTitle(const QString& title) {
    title_ = title;
    setApplicationDisplayName(title);
}

void TApplication::Terminate() {
    terminated_ = true;
    quit();
}

int TApplication::Run() {
    if (terminated_)
        return 0;
    if (showMainForm_ && mainForm_)
        mainForm_->show();
    return exec();
}

void TApplication::HandleException(const std::exception& e) {
    if (OnException)
        OnException(e);
    else
        ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
    QString text = exceptionText(e);
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    if (dialogs_)
        dialogs_->ShowException(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        try {
            HandleException(e);
        } catch (const std::exception& inner) {
            // The handler itself failed: fall back to the plain display.
            ShowException(inner);
        }
    } catch (...) {
        ShowException(Exception(QStringLiteral("Unknown error")));
    }
    return false;
}

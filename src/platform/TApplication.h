#pragma once

#include <QtCore/QString>
#include <QtWidgets/QApplication>

#include <exception>
#include <functional>

class Dialogs;
class QWidget;

// The application object: title, main window, the flag that shows the main
// window when the loop starts, terminate request and the message loop. Any
// exception that escapes a handler is caught in notify() and handed to
// HandleException; the loop then goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    static TApplication* Instance();

    QString Title() const { return title_; }
    void SetTitle(const QString& title);

    // Where ShowException sends its text; the program sets the real dialogs.
    void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }

    QWidget* MainForm() const { return mainForm_; }
    void SetMainForm(QWidget* form) { mainForm_ = form; }

    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }

    // Ends the message loop; asked before the loop runs, the loop ends at once.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Runs the message loop; returns the process exit code.
    int Run();

    // The exception path: OnException when assigned, otherwise ShowException.
    void HandleException(const std::exception& e);
    void ShowException(const std::exception& e);
    std::function<void(const std::exception&)> OnException;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QString title_;
    Dialogs* dialogs_ = nullptr;
    QWidget* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;
};

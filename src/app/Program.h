#pragma once

#include <memory>

class Dialogs;
class POPControl;
class TApplication;
class TMainForm;

// The program put together: the real backends, the configuration window on
// them, and its other windows, all alive as long as this object.
class Program {
public:
    // Sets the application up and builds the configuration window. A
    // dialogs object, when given, takes the place of the real message boxes
    // and must outlive this one. When another copy runs, the window has
    // handed over to it and the application is Terminated().
    explicit Program(TApplication& app, Dialogs* dialogs = nullptr);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    TMainForm& MainForm();
    POPControl& Pop();

    // Offers the window to later copies, raises its creation event and
    // builds the progress, connection-error and About windows.
    void Start();
    // The message loop, with the configuration window hidden at first.
    int Run();

private:
    struct Backends;
    TApplication& app_;
    // The window goes first: it holds on to the backends and the other windows.
    std::unique_ptr<Backends> backends_;
    std::unique_ptr<TMainForm> mainForm_;
};

#pragma once

#include <QtCore/QString>

#include <functional>
#include <memory>

// The marker that tells a starting copy whether another copy of the same
// program file already runs. Held from Create until Close or the process
// ends; never left behind by a crash.
class InstanceMarker {
public:
    enum class Result { Created, AlreadyExists, Failed };
    virtual ~InstanceMarker() = default;
    virtual Result Create(const QString& name) = 0;
    virtual void Close() = 0;
};

// ShowWindow codes used on another copy's window.
enum : int { SW_RESTORE = 9 };

// Another running copy's application window, reached by its title.
class ForeignWindow {
public:
    virtual ~ForeignWindow() = default;
    virtual bool IsIconic() = 0;
    virtual void ShowWindow(int command) = 0;
    virtual void BringWindowToTop() = 0;
};

// What this copy's application window does when another copy reaches it.
struct ApplicationWindowActions {
    std::function<bool()> isIconic;
    std::function<void()> restore;
    std::function<void()> bringToTop;
};

// Top-level application windows of the running copies of this program.
class TopLevelWindows {
public:
    virtual ~TopLevelWindows() = default;
    // Another copy's application window whose title is title, or null.
    virtual std::unique_ptr<ForeignWindow> FindWindow(const QString& title) = 0;
    // Makes this copy's application window findable under title.
    virtual void Publish(const QString& title, ApplicationWindowActions actions) = 0;
};

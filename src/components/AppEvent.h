#pragma once

#include "gui/TApplication.h"

#include <QtCore/QObject>

#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

// A window's view of the application object: its stored hint settings are
// written through to the application, and the application-wide events arrive
// as events of its own. Any number may exist; the global list below shares
// the application's single handler slots among them, newest first.
//
// Owners set the stored properties after construction and then call
// Loaded(), which writes all eight to the application once more.
class TAppEvents : public QObject, public ApplicationEvents {
    Q_OBJECT
public:
    explicit TAppEvents(QObject* owner = nullptr);
    ~TAppEvents() override;

    virtual void Loaded();

    bool Chained = true;

    // Reading returns the application's current value, not the stored one.
    std::uint32_t HintColor() const;
    void SetHintColor(std::uint32_t value);
    int HintPause() const;
    void SetHintPause(int value);
    bool ShowHint() const;
    void SetShowHint(bool value);
    int HintShortPause() const;
    void SetHintShortPause(int value);
    int HintHidePause() const;
    void SetHintHidePause(int value);
    bool ShowMainForm() const;
    void SetShowMainForm(bool value);
    bool UpdateFormatSettings() const;
    void SetUpdateFormatSettings(bool value);
    bool UpdateMetricSettings() const;
    void SetUpdateMetricSettings(bool value);

    // The canvas an OnPaintIcon handler draws the minimised icon with.
    QPainter& IconCanvas();

    TNotifyEvent OnPaintIcon;

    virtual void PaintMinimizedIcon();
    virtual bool HandleMainWindowMessage(TMessage& message);

private:
    void ApplyToApplication();

    std::uint32_t hintColor_ = 0x80000018;
    int hintPause_ = 500;
    bool showHint_ = true;
    std::unique_ptr<QPainter> iconCanvas_;
    int hintShortPause_ = 50;
    int hintHidePause_ = 2500;
    bool showMainForm_ = true;
    bool updateFormatSettings_ = true;
    bool updateMetricSettings_ = true;
    int hookToken_ = 0;
};

// Owns the application's ten event slots while at least one TAppEvents is
// attached, and passes each application event to the attached components,
// the most recently attached first.
class TAppEventList {
public:
    TAppEventList() = default;
    ~TAppEventList();
    TAppEventList(const TAppEventList&) = delete;
    TAppEventList& operator=(const TAppEventList&) = delete;

    void Attach(TAppEvents* component);
    void Detach(TAppEvents* component);
    void ClearApplicationEvents();

    const std::vector<TAppEvents*>& Components() const { return components_; }

    void DispatchActivate(QObject* sender);
    void DispatchDeactivate(QObject* sender);
    void DispatchException(QObject* sender, const std::exception& e);
    void DispatchIdle(QObject* sender, bool& done);
    bool DispatchHelp(std::uint16_t command, std::int32_t data, bool& callHelp);
    void DispatchHint(QObject* sender);
    void DispatchMessage(TMessage& msg, bool& handled);
    void DispatchMinimize(QObject* sender);
    void DispatchRestore(QObject* sender);
    void DispatchShowHint(QString& hintStr, bool& canShow, THintInfo& hintInfo);

private:
    template <class Handler, class Call>
    bool dispatch(Handler ApplicationEvents::*handler, Call call);

    std::vector<TAppEvents*> components_;
    ApplicationEvents saved_; // the application's own handlers, run after ours
};

// The one list, there before any window and gone after the last.
extern TAppEventList GlobalAppEventList;

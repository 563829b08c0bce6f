#include "AppEvent.h"

#include "gui/Colors.h"

#include <QtGui/QPainter>

#include <algorithm>

TAppEventList GlobalAppEventList;

namespace {
TApplication* app() {
    return TApplication::Instance();
}

template <class T> T readThrough(T (TApplication::*get)() const, const T& stored) {
    const TApplication* a = app();
    return a ? (a->*get)() : stored;
}

template <class T> void writeThrough(void (TApplication::*set)(T), T& stored, T value) {
    stored = value;
    if (auto* a = app())
        (a->*set)(value);
}
} // namespace

TAppEvents::TAppEvents(QObject* owner) : QObject(owner) {
    if (auto* a = app())
        hookToken_ = a->HookMainWindow([this](TMessage& m) { return HandleMainWindowMessage(m); });
    GlobalAppEventList.Attach(this);
}

TAppEvents::~TAppEvents() {
    if (auto* a = app(); a && hookToken_)
        a->UnhookMainWindow(hookToken_);
    GlobalAppEventList.Detach(this);
    iconCanvas_.reset();
}

void TAppEvents::Loaded() {
    ApplyToApplication();
}

void TAppEvents::ApplyToApplication() {
    auto* a = app();
    if (!a)
        return;
    a->SetHintColor(hintColor_);
    a->SetHintPause(hintPause_);
    a->SetShowHint(showHint_);
    a->SetHintShortPause(hintShortPause_);
    a->SetHintHidePause(hintHidePause_);
    a->SetShowMainForm(showMainForm_);
    a->SetUpdateFormatSettings(updateFormatSettings_);
    a->SetUpdateMetricSettings(updateMetricSettings_);
}

// Reading gives the application's value and writing passes the value on;
// without an application object the stored value stands in.
std::uint32_t TAppEvents::HintColor() const {
    return readThrough(&TApplication::HintColor, hintColor_);
}
void TAppEvents::SetHintColor(std::uint32_t value) {
    writeThrough(&TApplication::SetHintColor, hintColor_, value);
}

int TAppEvents::HintPause() const {
    return readThrough(&TApplication::HintPause, hintPause_);
}
void TAppEvents::SetHintPause(int value) {
    writeThrough(&TApplication::SetHintPause, hintPause_, value);
}

bool TAppEvents::ShowHint() const {
    return readThrough(&TApplication::ShowHint, showHint_);
}
void TAppEvents::SetShowHint(bool value) {
    writeThrough(&TApplication::SetShowHint, showHint_, value);
}

int TAppEvents::HintShortPause() const {
    return readThrough(&TApplication::HintShortPause, hintShortPause_);
}
void TAppEvents::SetHintShortPause(int value) {
    writeThrough(&TApplication::SetHintShortPause, hintShortPause_, value);
}

int TAppEvents::HintHidePause() const {
    return readThrough(&TApplication::HintHidePause, hintHidePause_);
}
void TAppEvents::SetHintHidePause(int value) {
    writeThrough(&TApplication::SetHintHidePause, hintHidePause_, value);
}

bool TAppEvents::ShowMainForm() const {
    return readThrough(&TApplication::ShowMainForm, showMainForm_);
}
void TAppEvents::SetShowMainForm(bool value) {
    writeThrough(&TApplication::SetShowMainForm, showMainForm_, value);
}

bool TAppEvents::UpdateFormatSettings() const {
    return readThrough(&TApplication::UpdateFormatSettings, updateFormatSettings_);
}
void TAppEvents::SetUpdateFormatSettings(bool value) {
    writeThrough(&TApplication::SetUpdateFormatSettings, updateFormatSettings_, value);
}

bool TAppEvents::UpdateMetricSettings() const {
    return readThrough(&TApplication::UpdateMetricSettings, updateMetricSettings_);
}
void TAppEvents::SetUpdateMetricSettings(bool value) {
    writeThrough(&TApplication::SetUpdateMetricSettings, updateMetricSettings_, value);
}

QPainter& TAppEvents::IconCanvas() {
    if (!iconCanvas_)
        iconCanvas_ = std::make_unique<QPainter>();
    return *iconCanvas_;
}

bool TAppEvents::HandleMainWindowMessage(TMessage& message) {
    auto* a = app();
    if (message.Msg == WM_PAINT && OnPaintIcon && a && a->IsIconic()) {
        PaintMinimizedIcon();
        return true;
    }
    return false;
}

void TAppEvents::PaintMinimizedIcon() {
    auto* a = app();
    if (!a)
        return;
    const TPaintStruct paint = a->BeginPaint();
    struct EndOfPaint {
        TAppEvents* self;
        TApplication* a;
        const TPaintStruct& paint;
        bool canvasMade = false;
        ~EndOfPaint() {
            if (canvasMade) {
                if (self->iconCanvas_ && self->iconCanvas_->isActive())
                    self->iconCanvas_->end();
                self->iconCanvas_.reset();
            }
            a->EndPaint(paint);
        }
    } end{this, a, paint};

    iconCanvas_.reset();
    iconCanvas_ = std::make_unique<QPainter>();
    end.canvasMade = true;
    iconCanvas_->begin(paint.Device);
    iconCanvas_->setBrush(colorToQColor(0x80000001));
    if (paint.Erase)
        iconCanvas_->fillRect(paint.Paint, iconCanvas_->brush());
    if (OnPaintIcon)
        OnPaintIcon(this);
}

TAppEventList::~TAppEventList() {
    ClearApplicationEvents();
}

void TAppEventList::Attach(TAppEvents* component) {
    if (!component)
        return;
    if (std::find(components_.begin(), components_.end(), component) != components_.end())
        return;
    components_.push_back(component);
    if (components_.size() != 1)
        return;
    auto* a = app();
    if (!a)
        return;
    saved_ = *a;
    a->OnActivate = [this](QObject* s) { DispatchActivate(s); };
    a->OnDeactivate = [this](QObject* s) { DispatchDeactivate(s); };
    a->OnException = [this](QObject* s, const std::exception& e) { DispatchException(s, e); };
    a->OnIdle = [this](QObject* s, bool& done) { DispatchIdle(s, done); };
    a->OnHelp = [this](std::uint16_t c, std::int32_t d, bool& h) { return DispatchHelp(c, d, h); };
    a->OnHint = [this](QObject* s) { DispatchHint(s); };
    a->OnMessage = [this](TMessage& m, bool& h) { DispatchMessage(m, h); };
    a->OnMinimize = [this](QObject* s) { DispatchMinimize(s); };
    a->OnRestore = [this](QObject* s) { DispatchRestore(s); };
    a->OnShowHint = [this](QString& t, bool& c, THintInfo& i) { DispatchShowHint(t, c, i); };
}

void TAppEventList::Detach(TAppEvents* component) {
    std::erase(components_, component);
    if (components_.empty())
        ClearApplicationEvents();
}

void TAppEventList::ClearApplicationEvents() {
    auto* a = app();
    if (!a)
        return;
    static_cast<ApplicationEvents&>(*a) = {};
}

// Walks the components newest first. call(handler) runs one assigned
// handler. Returns true when every component was visited (all chained) and
// the saved handler's turn has come; the caller runs it. A handler may
// destroy its own component: the list is read again after each call, and a
// component that has gone counts as chained.
template <class Handler, class Call>
bool TAppEventList::dispatch(Handler ApplicationEvents::*handler, Call call) {
    std::size_t i = components_.size();
    while (i > 0) {
        --i;
        TAppEvents* component = components_[i];
        if (const Handler h = component->*handler; h)
            call(h);
        const auto it = std::find(components_.begin(), components_.end(), component);
        if (it == components_.end()) {
            i = std::min(i, components_.size());
            continue;
        }
        i = std::size_t(it - components_.begin());
        if (!component->Chained)
            return false;
    }
    return true;
}

void TAppEventList::DispatchActivate(QObject* sender) {
    if (dispatch(&TAppEvents::OnActivate, [&](auto& h) { h(sender); }) && saved_.OnActivate)
        saved_.OnActivate(sender);
}

void TAppEventList::DispatchDeactivate(QObject* sender) {
    if (dispatch(&TAppEvents::OnDeactivate, [&](auto& h) { h(sender); }) && saved_.OnDeactivate)
        saved_.OnDeactivate(sender);
}

void TAppEventList::DispatchException(QObject* sender, const std::exception& e) {
    bool handled = false;
    if (dispatch(&TAppEvents::OnException,
                 [&](auto& h) {
                     handled = true;
                     h(sender, e);
                 }) &&
        saved_.OnException) {
        handled = true;
        saved_.OnException(sender, e);
    }
    if (!handled)
        if (auto* a = app())
            a->ShowException(e);
}

void TAppEventList::DispatchIdle(QObject* sender, bool& done) {
    if (dispatch(&TAppEvents::OnIdle, [&](auto& h) { h(sender, done); }) && saved_.OnIdle)
        saved_.OnIdle(sender, done);
}

bool TAppEventList::DispatchHelp(std::uint16_t command, std::int32_t data, bool& callHelp) {
    bool result = false;
    if (dispatch(&TAppEvents::OnHelp, [&](auto& h) { result = h(command, data, callHelp); }) &&
        saved_.OnHelp)
        result = saved_.OnHelp(command, data, callHelp);
    return result;
}

void TAppEventList::DispatchHint(QObject* sender) {
    if (dispatch(&TAppEvents::OnHint, [&](auto& h) { h(sender); }) && saved_.OnHint)
        saved_.OnHint(sender);
}

void TAppEventList::DispatchMessage(TMessage& msg, bool& handled) {
    if (dispatch(&TAppEvents::OnMessage, [&](auto& h) { h(msg, handled); }) && saved_.OnMessage)
        saved_.OnMessage(msg, handled);
}

void TAppEventList::DispatchMinimize(QObject* sender) {
    if (dispatch(&TAppEvents::OnMinimize, [&](auto& h) { h(sender); }) && saved_.OnMinimize)
        saved_.OnMinimize(sender);
}

void TAppEventList::DispatchRestore(QObject* sender) {
    if (dispatch(&TAppEvents::OnRestore, [&](auto& h) { h(sender); }) && saved_.OnRestore)
        saved_.OnRestore(sender);
}

void TAppEventList::DispatchShowHint(QString& hintStr, bool& canShow, THintInfo& hintInfo) {
    if (dispatch(&TAppEvents::OnShowHint, [&](auto& h) { h(hintStr, canShow, hintInfo); }) &&
        saved_.OnShowHint)
        saved_.OnShowHint(hintStr, canShow, hintInfo);
}

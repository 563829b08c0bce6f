#include "X11WindowHints.h"

#include <QtCore/QEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QtWidgets/QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
// The Motif window-manager hints, as window managers read them.
constexpr std::uint32_t MWM_HINTS_FUNCTIONS = 1u << 0;
constexpr std::uint32_t MWM_HINTS_DECORATIONS = 1u << 1;
constexpr std::uint32_t MWM_FUNC_MOVE = 1u << 2;
constexpr std::uint32_t MWM_DECOR_BORDER = 1u << 1;
constexpr std::uint32_t MWM_DECOR_TITLE = 1u << 3;

void writeHints(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const char name[] = "_MOTIF_WM_HINTS";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name),
                              nullptr),
        &std::free);
    if (!atom)
        return;
    const std::uint32_t hints[5] = {MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, MWM_FUNC_MOVE,
                                    MWM_DECOR_BORDER | MWM_DECOR_TITLE, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()), atom->atom,
                        atom->atom, 32, 5, hints);
    xcb_flush(connection);
}

class HintsOnShow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            writeHints(*static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

void requestTitleBarWithoutButtons(QWidget& window) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        return;
    window.installEventFilter(new HintsOnShow(&window)); // the window owns it
}

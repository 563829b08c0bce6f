#pragma once

#include <QtCore/QRect>

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;
struct XcbLibrary;
struct xcb_connection_t;

// The XEmbed tray host is whoever owns the selection _NET_SYSTEM_TRAY_S<n>. A
// new owner announces itself with a MANAGER message to the root window; the
// owner's window is destroyed when the host ends. Both arrive as events on a
// connection of our own, so nothing runs while the tray stays as it is. The
// connection is read on the GUI thread alone.
class XTrayWatch {
public:
    // Told (old owner, new owner) whenever the owner may have changed.
    using Changed = std::function<void(std::uint32_t, std::uint32_t)>;

    // Null when the display cannot be reached this way.
    static std::unique_ptr<XTrayWatch> Start(Changed changed);
    ~XTrayWatch();

    bool OwnerPresent() const { return owner_ != 0; }

    // Where WINDOW is on screen once a tray host holds it and shows it; empty
    // before the host has reparented it (until then Qt has it as a top-level
    // window at the origin), and after the host has let go of it.
    QRect EmbeddedGeometry(std::uint32_t window);

private:
    XTrayWatch(const XcbLibrary& x, xcb_connection_t* connection, int screenNumber,
               Changed changed);
    std::uint32_t atom(const QByteArray& name);
    void findOwner();
    void readEvents();

    const XcbLibrary& x_;
    xcb_connection_t* connection_;
    Changed changed_;
    std::uint32_t root_ = 0;
    std::uint32_t selection_ = 0;
    std::uint32_t manager_ = 0;
    std::uint32_t owner_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
};

#pragma once

#include <QtCore/QByteArray>

#include <cstdint>

struct XcbLibrary;
struct xcb_connection_t;

// What a window shows, as the X server has it.
struct XPicture {
    std::uint8_t depth = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    QByteArray pixels;
};

// Reads what a window shows and puts a picture read before back into it, over
// a connection of its own, opened when first needed: the tray watch's
// connection is read on the GUI thread alone, so that no event of the tray
// host's can slip into xcb's queue unseen by its socket notifier.
class XWindowPictures {
public:
    explicit XWindowPictures(const XcbLibrary& x) : x_(x) {}
    ~XWindowPictures();
    XWindowPictures(const XWindowPictures&) = delete;
    XWindowPictures& operator=(const XWindowPictures&) = delete;

    // A graphics context for showing pictures in WINDOW; 0 when there is no
    // connection for them (GUI thread).
    std::uint32_t NewContext(std::uint32_t window);
    void FreeContext(std::uint32_t gc);

    // What WINDOW shows now (GUI thread). Qt's own drawing is waited for first.
    XPicture Read(std::uint32_t window);

    // Any thread; waits for nothing. A window that has gone meanwhile only
    // brings an error back, which is dropped.
    void Show(std::uint32_t window, std::uint32_t gc, const XPicture& picture);

private:
    void dropErrors();

    const XcbLibrary& x_;
    xcb_connection_t* painter_ = nullptr;
};

#include "XWindowPictures.h"

#include "XcbLibrary.h"

#ifdef PINGBOX_X_TRAY_WATCH
#include <QtGui/QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>

XWindowPictures::~XWindowPictures() {
    if (painter_)
        x_.disconnect(painter_);
}

std::uint32_t XWindowPictures::NewContext(std::uint32_t window) {
    if (!painter_) {
        painter_ = x_.connect(nullptr, nullptr);
        if (x_.has_error(painter_)) {
            x_.disconnect(painter_);
            painter_ = nullptr;
        }
    }
    if (!painter_)
        return 0;
    const std::uint32_t gc = x_.generate_id(painter_);
    x_.create_gc(painter_, gc, window, 0, nullptr);
    return gc;
}

void XWindowPictures::FreeContext(std::uint32_t gc) {
    x_.free_gc(painter_, gc);
    x_.flush(painter_);
}

XPicture XWindowPictures::Read(std::uint32_t window) {
    if (auto* qt = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        std::free(x_.get_input_focus_reply(qt->connection(), x_.get_input_focus(qt->connection()),
                                           nullptr));
    XPicture picture;
    xcb_get_geometry_reply_t* g =
        x_.get_geometry_reply(painter_, x_.get_geometry(painter_, window), nullptr);
    if (g) {
        xcb_get_image_reply_t* image =
            x_.get_image_reply(painter_,
                               x_.get_image(painter_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                            g->width, g->height, ~0u),
                               nullptr);
        if (image && image->depth == g->depth) {
            picture.depth = g->depth;
            picture.width = g->width;
            picture.height = g->height;
            picture.pixels = QByteArray(reinterpret_cast<const char*>(x_.get_image_data(image)),
                                        x_.get_image_data_length(image));
        }
        std::free(image);
    }
    std::free(g);
    dropErrors();
    return picture;
}

void XWindowPictures::Show(std::uint32_t window, std::uint32_t gc, const XPicture& picture) {
    x_.put_image(painter_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, picture.width, picture.height, 0,
                 0, 0, picture.depth, static_cast<std::uint32_t>(picture.pixels.size()),
                 reinterpret_cast<const std::uint8_t*>(picture.pixels.constData()));
    x_.flush(painter_);
    dropErrors();
}

void XWindowPictures::dropErrors() {
    while (xcb_generic_event_t* event = x_.poll_for_event(painter_))
        std::free(event);
}
#else
XWindowPictures::~XWindowPictures() = default;
#endif

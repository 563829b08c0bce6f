#include "XcbLibrary.h"

#ifdef PINGBOX_X_TRAY_WATCH
#include <dlfcn.h>

#include <type_traits>

const XcbLibrary* XcbLibrary::get() {
    static const std::optional<XcbLibrary> xcb = load();
    return xcb ? &*xcb : nullptr;
}

std::optional<XcbLibrary> XcbLibrary::load() {
    // Never closed: the library stays for the life of the program anyway.
    void* library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!library)
        return std::nullopt;
    XcbLibrary x;
    bool complete = true;
    auto find = [&](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
        complete = complete && function;
    };
    find(x.connect, "xcb_connect");
    find(x.disconnect, "xcb_disconnect");
    find(x.has_error, "xcb_connection_has_error");
    find(x.get_file_descriptor, "xcb_get_file_descriptor");
    find(x.get_setup, "xcb_get_setup");
    find(x.setup_roots_iterator, "xcb_setup_roots_iterator");
    find(x.screen_next, "xcb_screen_next");
    find(x.intern_atom, "xcb_intern_atom");
    find(x.intern_atom_reply, "xcb_intern_atom_reply");
    find(x.get_selection_owner, "xcb_get_selection_owner");
    find(x.get_selection_owner_reply, "xcb_get_selection_owner_reply");
    find(x.change_window_attributes_checked, "xcb_change_window_attributes_checked");
    find(x.request_check, "xcb_request_check");
    find(x.poll_for_event, "xcb_poll_for_event");
    find(x.flush, "xcb_flush");
    find(x.query_tree, "xcb_query_tree");
    find(x.query_tree_reply, "xcb_query_tree_reply");
    find(x.get_window_attributes, "xcb_get_window_attributes");
    find(x.get_window_attributes_reply, "xcb_get_window_attributes_reply");
    find(x.get_geometry, "xcb_get_geometry");
    find(x.get_geometry_reply, "xcb_get_geometry_reply");
    find(x.translate_coordinates, "xcb_translate_coordinates");
    find(x.translate_coordinates_reply, "xcb_translate_coordinates_reply");
    find(x.generate_id, "xcb_generate_id");
    find(x.create_gc, "xcb_create_gc");
    find(x.free_gc, "xcb_free_gc");
    find(x.put_image, "xcb_put_image");
    find(x.get_image, "xcb_get_image");
    find(x.get_image_reply, "xcb_get_image_reply");
    find(x.get_image_data, "xcb_get_image_data");
    find(x.get_image_data_length, "xcb_get_image_data_length");
    find(x.get_input_focus, "xcb_get_input_focus");
    find(x.get_input_focus_reply, "xcb_get_input_focus_reply");
    if (!complete)
        return std::nullopt;
    return x;
}
#endif

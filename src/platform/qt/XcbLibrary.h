#pragma once

#include <QtCore/qsystemdetection.h>

// Defined where the program can watch an X tray host and draw into its
// windows itself.
#if defined(Q_OS_UNIX) && __has_include(<xcb/xcb.h>) && __has_include(<dlfcn.h>)
#define PINGBOX_X_TRAY_WATCH 1
#include <xcb/xcb.h>

#include <optional>

// libxcb, looked up when the program runs on X: Qt's X11 platform has loaded
// it already, and elsewhere it is neither a build nor a start dependency.
struct XcbLibrary {
    decltype(&xcb_connect) connect = nullptr;
    decltype(&xcb_disconnect) disconnect = nullptr;
    decltype(&xcb_connection_has_error) has_error = nullptr;
    decltype(&xcb_get_file_descriptor) get_file_descriptor = nullptr;
    decltype(&xcb_get_setup) get_setup = nullptr;
    decltype(&xcb_setup_roots_iterator) setup_roots_iterator = nullptr;
    decltype(&xcb_screen_next) screen_next = nullptr;
    decltype(&xcb_intern_atom) intern_atom = nullptr;
    decltype(&xcb_intern_atom_reply) intern_atom_reply = nullptr;
    decltype(&xcb_get_selection_owner) get_selection_owner = nullptr;
    decltype(&xcb_get_selection_owner_reply) get_selection_owner_reply = nullptr;
    decltype(&xcb_change_window_attributes_checked) change_window_attributes_checked = nullptr;
    decltype(&xcb_request_check) request_check = nullptr;
    decltype(&xcb_poll_for_event) poll_for_event = nullptr;
    decltype(&xcb_flush) flush = nullptr;
    decltype(&xcb_query_tree) query_tree = nullptr;
    decltype(&xcb_query_tree_reply) query_tree_reply = nullptr;
    decltype(&xcb_get_window_attributes) get_window_attributes = nullptr;
    decltype(&xcb_get_window_attributes_reply) get_window_attributes_reply = nullptr;
    decltype(&xcb_get_geometry) get_geometry = nullptr;
    decltype(&xcb_get_geometry_reply) get_geometry_reply = nullptr;
    decltype(&xcb_translate_coordinates) translate_coordinates = nullptr;
    decltype(&xcb_translate_coordinates_reply) translate_coordinates_reply = nullptr;
    decltype(&xcb_generate_id) generate_id = nullptr;
    decltype(&xcb_create_gc) create_gc = nullptr;
    decltype(&xcb_free_gc) free_gc = nullptr;
    decltype(&xcb_put_image) put_image = nullptr;
    decltype(&xcb_get_image) get_image = nullptr;
    decltype(&xcb_get_image_reply) get_image_reply = nullptr;
    decltype(&xcb_get_image_data) get_image_data = nullptr;
    decltype(&xcb_get_image_data_length) get_image_data_length = nullptr;
    decltype(&xcb_get_input_focus) get_input_focus = nullptr;
    decltype(&xcb_get_input_focus_reply) get_input_focus_reply = nullptr;

    // Null when the library or one of its functions is missing.
    static const XcbLibrary* get();

private:
    static std::optional<XcbLibrary> load();
};

#endif

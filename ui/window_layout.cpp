#include "window_layout.h"

// The heights a kind has of its own, in dialog units, as Windows' guidelines give them.
namespace {
constexpr short box_height = 10, button_height = 14, field_height = 13, line_height = 8,
                status_height = 12, picture_size = 20, chooser_width = 18;
} // namespace

window_control label(const char* text, short x, short y, short cx, short cy) {
    return {control_kind::label, -1, text, x, y, cx, cy};
}
window_control frame(const char* text, short x, short y, short cx, short cy) {
    return {control_kind::frame, -1, text, x, y, cx, cy};
}
window_control check_box(int id, const char* text, short x, short y, short cx) {
    return {control_kind::check_box, id, text, x, y, cx, box_height};
}
window_control choice(int id, const char* text, short x, short y, short cx) {
    return {control_kind::choice, id, text, x, y, cx, box_height};
}
window_control push_button(int id, const char* text, short x, short y, short cx) {
    return {control_kind::push_button, id, text, x, y, cx, button_height};
}
window_control chooser_button(int id, short x, short y, bool disabled) {
    return {control_kind::chooser_button, id, "...", x, y, chooser_width, button_height, disabled};
}
window_control field(int id, short x, short y, short cx, bool disabled, const char* cue) {
    return {control_kind::field, id, cue, x, y, cx, field_height, disabled};
}
window_control text_area(int id, short x, short y, short cx, short cy) {
    return {control_kind::text_area, id, "", x, y, cx, cy};
}
window_control drop_down(int id, short x, short y, short cx) {
    return {control_kind::drop_down, id, "", x, y, cx, field_height};
}
window_control sentence(int id, const char* text, short x, short y, short cx, bool right) {
    return {control_kind::sentence, id, text, x, y, cx, line_height, false, right};
}
window_control status_line(int id, const char* text, short x, short y, short cx) {
    return {control_kind::status_line, id, text, x, y, cx, status_height};
}
window_control picture(int id, const char* icon, short x, short y) {
    return {control_kind::picture, id, icon, x, y, picture_size, picture_size};
}
window_control table(int id, const char* columns, short x, short y, short cx, short cy) {
    return {control_kind::table, id, columns, x, y, cx, cy};
}
window_control progress_bar(int id, short x, short y, short cx, short cy) {
    return {control_kind::progress_bar, id, "", x, y, cx, cy};
}

#include "number_field.h"

#include "platform/command_line.h"
#include "ui.h"

namespace {
// More digits than any range of ours takes.
constexpr size_t number_field_limit = 12;
} // namespace

bool number_field_read(int id, int low, int high, std::atomic<int>* setting) {
    int value = 0;
    if (!parse_whole_number(ui_get_text(id, number_field_limit).c_str(), low, high, &value))
        return false;
    *setting = value;
    return true;
}

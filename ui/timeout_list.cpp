#include "timeout_list.h"

#include "ui.h"

#include <string>
#include <vector>

void timeout_list_fill(int id) {
    std::vector<std::string> seconds;
    for (int s = timeout_min_seconds; s <= timeout_max_seconds; ++s)
        seconds.push_back(std::to_string(s));
    ui_list_fill(id, seconds);
    timeout_list_select(id, timeout_max_seconds);
}

void timeout_list_select(int id, int seconds) {
    bool valid = seconds >= timeout_min_seconds && seconds <= timeout_max_seconds;
    ui_list_select(id, valid ? seconds - timeout_min_seconds : -1);
}

int timeout_list_seconds(int id) {
    int selected = ui_list_selection(id);
    return selected >= 0 ? std::stoi(ui_list_entry(id, selected)) : timeout_max_seconds;
}

#include "settings_report.h"

#include "platform/registry.h"
#include "ui/ui.h"

#include <algorithm>

void settings_report::unusable(const std::string& name, const std::string& text,
                               const std::string& wanted, const std::string& used) {
    lines_.push_back(name + " is '" + text + "', not " + wanted + "; " + used + " is used.");
}

void settings_report::unknown(registry_key* key, const std::vector<std::string>& known) {
    for (const std::string& name : registry_value_names(key))
        if (std::find(known.begin(), known.end(), name) == known.end())
            lines_.push_back(name + " is not a setting of this program; it is ignored.");
}

void settings_report::show() const {
    if (lines_.empty()) return;
    std::string text = "Some stored settings cannot be used:";
    for (const std::string& line : lines_)
        text += "\n" + line;
    ui_message_box(text, "Stored settings", ui_icon::warning, ui_buttons::ok);
}

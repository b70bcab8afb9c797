#include "settings_report.h"

#include "platform/registry.h"
#include "ui/ui.h"

#include <algorithm>

// "line N: " before what is said of a value, so that it is found where it was read; the file is
// named once, above every line.
std::string settings_report::where(const registry_value_place& place) {
    if (!place.file.empty()) file_ = place.file;
    return place.line > 0 ? "line " + std::to_string(place.line) + ": " : "";
}

void settings_report::unusable(registry_key* key, const std::string& name,
                               const std::string& text, const std::string& wanted,
                               const std::string& used) {
    lines_.push_back(where(registry_value_line(key, name)) + name + " is '" + text + "', not " +
                     wanted + "; " + used + " is used.");
}

void settings_report::unknown(registry_key* key, const std::vector<std::string>& known) {
    for (const std::string& name : registry_value_names(key))
        if (std::find(known.begin(), known.end(), name) == known.end())
            lines_.push_back(where(registry_value_line(key, name)) + name +
                             " is not a setting of this program; it is ignored.");
    for (const registry_value_place& line : registry_unreadable_lines(key))
        lines_.push_back(line.line == 0 ? where(line) + "The file cannot be read (" + line.text +
                                              "); the factory settings are used."
                                        : where(line) + "'" + line.text +
                                              "' is no setting (NAME=VALUE), section or "
                                              "comment; it is ignored.");
}

void settings_report::show() const {
    if (lines_.empty()) return;
    std::string text = file_.empty() ? "Some stored settings cannot be used:"
                                     : "Some settings stored in " + file_ + " cannot be used:";
    for (const std::string& line : lines_)
        text += "\n" + line;
    ui_message_box(text, "Stored settings", ui_icon::warning, ui_buttons::ok);
}

// The table's work, for any program's value type; included by setting_table.h only.
#pragma once

#include "platform/registry.h"
#include "ui/timeout_list.h"
#include "ui/ui.h"

#include <algorithm>
#include <cstring>

namespace setting_detail {

// A stored text takes up to 254 characters (a buffer of 255 bytes with its terminator).
constexpr size_t stored_text_room = 255;
// The longest number a field gives its setting.
constexpr size_t number_text_limit = 20;

inline bool named(const char* names, const std::string& name) {
    if (!names) return false;
    const std::string all = names;
    return all.substr(0, all.find('|')) == name;
}

// The list entry that shows a value, and the value an entry shows.
template <typename Value> int entry_of(const setting_row<Value>& r, int value) {
    if (r.kind == setting_kind::word) return value;
    auto found = std::find(r.list_values.begin(), r.list_values.end(), value);
    return found == r.list_values.end() ? 0 : static_cast<int>(found - r.list_values.begin());
}
template <typename Value> int value_of_entry(const setting_row<Value>& r, int entry) {
    if (entry < 0) entry = 0;
    return r.kind == setting_kind::word ? entry : r.list_values[static_cast<size_t>(entry)];
}

} // namespace setting_detail

template <typename Value>
const setting_row<Value>* setting_table<Value>::row(const char* name) const {
    for (const auto& r : rows_)
        if ((r.name && std::strcmp(r.name, name) == 0) || (!r.name && setting_detail::named(r.flag, name)))
            return &r;
    return nullptr;
}

template <typename Value>
const setting_row<Value>* setting_table<Value>::row_of_control(int id) const {
    for (const auto& r : rows_)
        if (r.control_kind != setting_control::none && (r.control == id || r.second == id))
            return &r;
    return nullptr;
}

template <typename Value>
bool setting_table<Value>::read(const std::string& key_name, Value* value,
                                settings_report* report) const {
    registry_key* key = registry_open_key(key_name);
    if (!key) return false;
    const Value factory{};
    std::vector<std::string> known, taken;
    std::string text;
    for (const auto& r : rows_) {
        if (!r.name) continue;
        known.push_back(r.name);
        if (r.with && std::find(taken.begin(), taken.end(), r.with) == taken.end()) continue;
        if (!registry_query_string(key, r.name, &text, setting_detail::stored_text_room))
            continue;
        taken.push_back(r.name);
        if (r.kind == setting_kind::text) {
            const bool refused = r.instead && r.usable && !r.usable(text);
            value->*r.text = refused ? factory.*r.text : text;
            if (refused) report->unusable(key, r.name, text, r.wanted, r.instead);
            continue;
        }
        int read = 0;
        if (setting_texts::read(r.kind, text, r.low, r.high, r.words, &read)) {
            value->*r.number = read;
            continue;
        }
        // A switch is on only when it says so; anything else stands for its factory value.
        int used = r.kind == setting_kind::yes_no ? 0 : factory.*r.number;
        value->*r.number = used;
        report->unusable(key, r.name, text, setting_texts::wanted(r.kind, r.low, r.high, r.words),
                         setting_texts::written(r.kind, used, r.words));
    }
    report->unknown(key, known);
    registry_close_key(key);
    return true;
}

template <typename Value>
bool setting_table<Value>::write(const std::string& key_name, const Value& value) const {
    registry_key* key = registry_create_key(key_name);
    for (const auto& r : rows_) {
        if (!r.name) continue;
        if (const auto* with = r.with ? row(r.with) : nullptr; with && value.*with->number != 1)
            continue;
        registry_set_string(key, r.name,
                            r.kind == setting_kind::text
                                ? value.*r.text
                                : setting_texts::written(r.kind, value.*r.number, r.words));
    }
    return registry_close_key(key);
}

template <typename Value> std::vector<command_option> setting_table<Value>::options() const {
    std::vector<command_option> options;
    for (const auto& r : rows_)
        if (r.flag)
            options.push_back({r.flag, r.help ? r.help : "", r.value_name ? r.value_name : "",
                               r.wanted ? r.wanted : ""});
    return options;
}

template <typename Value>
std::string setting_table<Value>::apply(const command_line& line, Value* value) const {
    for (const auto& r : rows_) {
        if (!r.flag) continue;
        const std::string name = std::string(r.flag).substr(0, std::string(r.flag).find('|'));
        if (!line.is_set(name)) continue;
        const std::string given = r.value_name ? line.value(name) : "";
        const std::string refused = "--" + name + " needs " + (r.wanted ? r.wanted : "") +
                                    ", not '" + given + "'.";
        switch (r.kind) {
        case setting_kind::yes_no:
            value->*r.number = 1;
            break;
        case setting_kind::number:
            if (!parse_whole_number(given.c_str(), r.low, r.high, &(value->*r.number)))
                return refused;
            break;
        case setting_kind::text:
            if (r.usable && !r.usable(given)) return refused;
            value->*r.text = given;
            break;
        case setting_kind::word: // one of its words, when the flag takes one
            if (r.value_name &&
                !setting_texts::read(r.kind, given, r.low, r.high, r.words, &(value->*r.number)))
                return refused;
            break;
        case setting_kind::option:
            break;
        }
        if (r.apply) r.apply(value, line);
        if (const auto* on = r.turns_on ? row(r.turns_on) : nullptr) value->*on->number = 1;
    }
    return "";
}

template <typename Value> void setting_table<Value>::fill_lists() const {
    for (const auto& r : rows_) {
        if (r.control_kind == setting_control::timeout_list) timeout_list_fill(r.control);
        if (r.control_kind != setting_control::list) continue;
        std::vector<std::string> entries;
        for (const char* word : r.words)
            if (word) entries.push_back(word);
        ui_list_fill(r.control, entries);
    }
}

template <typename Value> void setting_table<Value>::show(const Value& value) const {
    for (const auto& r : rows_) {
        switch (r.control_kind) {
        case setting_control::none:
            break;
        case setting_control::check_box: {
            const bool on = value.*r.number == 1;
            ui_set_checked(r.control, on);
            for (int id : r.enables)
                if (id) ui_enable(id, on);
            break;
        }
        case setting_control::field:
            ui_set_text(r.control, r.kind == setting_kind::text
                                       ? value.*r.text
                                       : std::to_string(value.*r.number));
            break;
        case setting_control::list:
            ui_list_select(r.control, setting_detail::entry_of(r, value.*r.number));
            break;
        case setting_control::timeout_list:
            timeout_list_select(r.control, value.*r.number);
            break;
        case setting_control::choice_pair:
            ui_set_checked(r.control, value.*r.number == 0);
            ui_set_checked(r.second, value.*r.number != 0);
            break;
        }
    }
}

template <typename Value>
const setting_row<Value>* setting_table<Value>::take(int id, Value* value) const {
    const setting_row<Value>* r = row_of_control(id);
    if (!r) return nullptr;
    switch (r->control_kind) {
    case setting_control::none:
        break;
    case setting_control::check_box:
        value->*r->number = ui_is_checked(id) ? 1 : 0;
        for (int enabled : r->enables)
            if (enabled) ui_enable(enabled, value->*r->number == 1);
        break;
    case setting_control::field: {
        const std::string text = ui_get_text(id, r->limit);
        if (r->kind == setting_kind::text) {
            value->*r->text = text;
            break;
        }
        int number = 0;
        if (parse_whole_number(text.c_str(), r->low, r->high, &number)) value->*r->number = number;
        break;
    }
    case setting_control::list:
        value->*r->number = setting_detail::value_of_entry(*r, ui_list_selection(id));
        break;
    case setting_control::timeout_list:
        value->*r->number = timeout_list_seconds(id);
        break;
    case setting_control::choice_pair:
        // The choice pressed is the one chosen, whatever the other still shows.
        value->*r->number = id == r->control ? 0 : 1;
        ui_set_checked(r->control, id == r->control);
        ui_set_checked(r->second, id != r->control);
        break;
    }
    return r;
}

template <typename Value> std::string setting_table<Value>::take_all(Value* value) const {
    std::string refusal;
    // The switches first: a number field whose switch is off is not in use, and not read.
    for (const auto& r : rows_)
        if (r.control_kind != setting_control::none && r.control_kind != setting_control::field)
            take(r.control_kind == setting_control::choice_pair && !ui_is_checked(r.control)
                     ? r.second
                     : r.control,
                 value);
    for (const auto& r : rows_) {
        if (r.control_kind != setting_control::field) continue;
        if (r.kind == setting_kind::text) {
            take(r.control, value);
            continue;
        }
        bool idle = false;
        for (const auto& s : rows_)
            if (s.control_kind == setting_control::check_box && value->*s.number != 1 &&
                std::find(s.enables.begin(), s.enables.end(), r.control) != s.enables.end())
                idle = true;
        if (idle) continue;
        int number = 0;
        if (parse_whole_number(ui_get_text(r.control, setting_detail::number_text_limit).c_str(),
                               r.low, r.high, &number))
            value->*r.number = number;
        else if (refusal.empty())
            refusal = r.refusal ? r.refusal : "";
    }
    return refusal;
}

// The state of every control kept in memory, for the backends that have no widgets of their own
// (the console and the test recorder). Controls come into being when first touched.
#pragma once

#include "ui.h"

void store_reset();
void store_set_text(int id, const std::string& text);
std::string store_get_text(int id);
void store_set_checked(int id, bool on);
bool store_is_checked(int id);
void store_enable(int id, bool on);
bool store_is_enabled(int id);
void store_focus(int id);
int store_focused();
void store_select_all(int id);
void store_list_fill(int id, const std::vector<std::string>& entries);
void store_list_select(int id, int index);
int store_list_selection(int id);
std::string store_list_entry(int id, int index);
// A list's entries may be rows of cells, separated by tabs.
std::vector<std::string> store_list_entries(int id);
void store_set_progress(int id, int permille);
int store_progress(int id);

// The button a box answers with when nobody is there to press one: its first.
ui_answer default_answer(ui_buttons buttons);

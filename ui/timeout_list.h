// The packet-timeout list that both windows show: entries "2" to "120" seconds, index = seconds
// - 2.
#pragma once

constexpr int timeout_min_seconds = 2;
constexpr int timeout_max_seconds = 120;

// Fills the list and selects 120 seconds.
void timeout_list_fill(int id);
// Selects an entry by its seconds; a value outside 2 to 120 leaves no entry selected.
void timeout_list_select(int id, int seconds);
// The selected entry's seconds, or 120 when nothing is selected.
int timeout_list_seconds(int id);

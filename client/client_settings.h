// The client keeps its options in its window's controls; these store them when the window
// closes and put them back when it opens.
#pragma once

inline constexpr const char* client_settings_key = "SOFTWARE\\Drumvale\\PelloryTFTP client";

void client_settings_load();
void client_settings_save();
// The extensions box, with the size fields it enables.
void client_extensions_show(bool on);

// The client keeps its options in its window's controls; these store them when the window
// closes and put them back when it opens.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* client_settings_key = "SOFTWARE\\Drumvale\\PelloryTFTP client";

void client_settings_load();
void client_settings_save();
// The extensions box, with the size fields it enables.
void client_extensions_show(bool on);
// The IP version list's entries, as they are stored too: any family, IPv4 only, IPv6 only.
const std::vector<std::string>& ip_version_names();

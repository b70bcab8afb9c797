// Stored settings as a test writes and reads them, under a program's key.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

struct server_settings;

void store_settings(const std::string& key,
                    std::initializer_list<std::pair<const char*, std::string>> values);
// The stored text; "<no key>" when nothing is stored, "<none>" when the value is not.
std::string stored_setting(const std::string& key, const char* name);
// Changes the server's settings that serve from the next request, and shows them in the window's
// controls, as the user would.
void serve_settings(const std::function<void(server_settings&)>& edit);

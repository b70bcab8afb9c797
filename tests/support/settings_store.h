// Stored settings as a test writes and reads them, under a program's key.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

void store_settings(const std::string& key,
                    std::initializer_list<std::pair<const char*, std::string>> values);
// The stored text; "<no key>" when nothing is stored, "<none>" when the value is not.
std::string stored_setting(const std::string& key, const char* name);

// A field of the window that holds a whole number within a range.
#pragma once

#include <atomic>

// Reads the field; when it holds a number from low to high, the setting takes it. Whether it
// does.
bool number_field_read(int id, int low, int high, std::atomic<int>* setting);

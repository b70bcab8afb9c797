// Reading the options of the programs' console front ends.
#pragma once

// A whole decimal number from low to high, the whole text; false for anything else.
bool parse_whole_number(const char* text, int low, int high, int* value);

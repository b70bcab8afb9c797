// Local file contents for transfer tests, and the sizes every transfer is tried with.
#pragma once

#include <string>
#include <vector>

// 0, 1, 511, 512, 513, 1000 and 65535 x 512 - 1 bytes: the largest file a transfer can carry.
const std::vector<size_t>& transfer_sizes();
constexpr size_t largest_transfer = 65535u * 512u - 1u;

// Contents of size bytes for a mode (0 netascii, 1 octet). Octet: every byte value. Netascii:
// text with LF and CR placed on block boundaries, except that the largest has none, so that its
// wire form still fits 65535 blocks.
std::string transfer_content(size_t size, int mode);

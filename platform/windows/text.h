// UTF-8 above the platform layer, UTF-16 in the Win32 calls; and the errors of Win32 calls as the
// C library's error numbers, which the layer above reads. For the Windows files of this layer
// and the Windows windows (win32/).
#pragma once

#include <string>

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);
// The C library's error number nearest to a Win32 error (GetLastError()).
int errno_of(unsigned long win32_error);
// One argument of a command line as CommandLineToArgvW reads it back: quoted where it holds a
// blank or a quote, so that a path with blanks stays one argument.
std::wstring quoted_argument(const std::wstring& argument);

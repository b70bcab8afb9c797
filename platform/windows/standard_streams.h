// The standard output and error streams of a program that Windows started without them.
#pragma once

// Standard output and error write to descriptor from now on, unbuffered; descriptor is closed.
void standard_streams_to(int descriptor);

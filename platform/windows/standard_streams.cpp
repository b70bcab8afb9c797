#include "standard_streams.h"

#include <cstdio>
#include <io.h>

void standard_streams_to(int descriptor) {
    _dup2(descriptor, 1);
    _dup2(descriptor, 2);
    _close(descriptor);
    // A program started without standard handles has streams marked as having no descriptor
    // (-2), which freopen refuses: they are pointed at the descriptors 1 and 2 instead.
    stdout->_file = 1;
    stderr->_file = 2;
    // Each line out as it is said (this runtime buffers "line buffered" whole).
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
}

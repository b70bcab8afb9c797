// One writer per file: an upload claims the file it writes for as long as it runs, so that a
// second upload of the same file is refused instead of mixing with the first.
#pragma once

#include "platform/files.h"

#include <memory>
#include <string>

// The claim of an upload on the file at path (any name of it), held until the last copy of the
// handle goes; nullptr when another upload holds it.
std::shared_ptr<const void> upload_claim(const file_place& place);

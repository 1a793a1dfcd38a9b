#pragma once

#include "runtime/Files.h"

// Whole-file reads and atomic writes of bytes, as the runtime makes them
// (runtime/Files.h): a file the game rewrites is never left half written.
namespace platform {

using runtime::ReadFileBytes;
using runtime::WriteFileAtomically;

}  // namespace platform

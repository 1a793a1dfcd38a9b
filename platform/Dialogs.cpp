#include "platform/Dialogs.h"

namespace platform {

namespace {

Dialogs* g_defaultDialogs = nullptr;

}  // namespace

void SetDefaultDialogs(Dialogs* dialogs) { g_defaultDialogs = dialogs; }

Dialogs* DefaultDialogs() { return g_defaultDialogs; }

}  // namespace platform

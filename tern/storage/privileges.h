// The privileges the library enables in the process token when it is loaded.
#pragma once

namespace tern {

// Enables restore, backup, security and take-ownership, in that order. A privilege the
// token lacks stays disabled; nothing fails and nothing is reported.
void enable_load_privileges();

}  // namespace tern

#pragma once

namespace nerolin {

// Whose data: the user's own, or the machine's, shared by every user of it.
enum class Scope { User, Machine };

}  // namespace nerolin

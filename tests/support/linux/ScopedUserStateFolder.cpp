#include "tests/support/ScopedUserStateFolder.h"

#include <filesystem>

#include "tests/support/Portable.h"

namespace nerolin::test {

// HOME too, so that nothing of the real user's home is read.
struct ScopedUserStateFolder::Saved {
    explicit Saved(const std::string& folder) : state("XDG_STATE_HOME", folder.c_str()), home("HOME", folder.c_str()) {}
    ScopedEnvironment state;
    ScopedEnvironment home;
};

ScopedUserStateFolder::ScopedUserStateFolder(const std::string& folder) : saved_(std::make_unique<Saved>(folder))
{
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
}

ScopedUserStateFolder::~ScopedUserStateFolder() = default;

}  // namespace nerolin::test

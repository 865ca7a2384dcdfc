#pragma once

// Where the programs a test starts keep the user's state (UserStateFolder(),
// the event store's folder), pointed at a folder of the test while the
// object lives. Linux: XDG_STATE_HOME and HOME of this process's environment,
// which the children inherit. Windows: the known folder follows the user's
// "User Shell Folders" value of Local AppData in the registry, not the
// environment, so that value is changed and put back; every process of the
// user sees it meanwhile.

#include <memory>
#include <string>

namespace nerolin::test {

class ScopedUserStateFolder {
public:
    // Makes the folder when it is missing, as a user's own folder is there.
    explicit ScopedUserStateFolder(const std::string& folder);
    ~ScopedUserStateFolder();
    ScopedUserStateFolder(const ScopedUserStateFolder&) = delete;
    ScopedUserStateFolder& operator=(const ScopedUserStateFolder&) = delete;

    struct Saved;

private:
    std::unique_ptr<Saved> saved_;
};

}  // namespace nerolin::test

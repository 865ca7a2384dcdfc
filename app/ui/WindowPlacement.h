#pragma once

// Where a session's window opens when other sessions' windows are open: each
// process holds the lowest free place number for as long as it runs (a lock
// file beside the session sockets, so a crashed process frees its place), and
// the window opens that many steps down and to the right of where it would
// open (up and left where the screen ends). The first window keeps its place. On Wayland the
// compositor places windows and a move does nothing.

#include <memory>

class QWidget;

namespace nerolin {

class FileLock;

class WindowPlace {
public:
    WindowPlace();
    ~WindowPlace();
    WindowPlace(const WindowPlace&) = delete;
    WindowPlace& operator=(const WindowPlace&) = delete;

    // 0 for the first open window, or when no place could be taken.
    int Index() const { return index_; }

    // Moves window, already placed at the centre, by its place's steps.
    void Apply(QWidget& window) const;

private:
    std::unique_ptr<FileLock> lock_;
    int index_ = 0;
};

}  // namespace nerolin

#include "common/UserPrompts.h"

#include <mutex>

#include "common/ConsolePrompts.h"

namespace nerolin {

namespace {

struct PromptsSlot {
    std::mutex mutex;
    std::shared_ptr<UserPrompts> current;
    // Replaced prompts stay alive until the process ends: another thread may
    // still be inside a call it began through the reference Prompts() gave.
    std::vector<std::shared_ptr<UserPrompts>> retired;
};

PromptsSlot& Slot()
{
    static PromptsSlot slot;
    return slot;
}

}  // namespace

UserPrompts& Prompts()
{
    PromptsSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (!slot.current) slot.current = std::make_shared<ConsolePrompts>();
    return *slot.current;
}

void SetUserPrompts(std::shared_ptr<UserPrompts> prompts)
{
    PromptsSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (slot.current) slot.retired.push_back(std::move(slot.current));
    slot.current = prompts ? std::move(prompts) : std::make_shared<ConsolePrompts>();
}

}  // namespace nerolin

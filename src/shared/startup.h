#pragma once
// The library's start-up and shut-down: one table, in one fixed order, that the DLL, the
// reference host and the tests all run.
#include <cstddef>

namespace vexlo::startup {

struct Step {
    const char* name;
    // Null for work done on first use (shared/once.h), which only needs releasing. Returns
    // false, or raises, when loading must stop; the failure is logged with the step's name.
    bool (*start)();
    void (*stop)();
};

// Steps run in order and undone in reverse. Constant-initialised: no code runs at load.
class Sequence {
public:
    template <std::size_t N>
    constexpr explicit Sequence(const Step (&steps)[N]) noexcept : steps_(steps), count_(N) {}
    Sequence(const Sequence&) = delete;
    Sequence& operator=(const Sequence&) = delete;

    // Runs every step; false when one failed, after undoing those already run.
    bool Start() noexcept;
    // Undoes the steps that ran, last first. A step that fails to stop is logged and the
    // others still stop.
    void Stop() noexcept;

private:
    const Step* steps_;
    std::size_t count_;
    std::size_t started_ = 0;
};

// The library's own sequence: the open security descriptor, the shared blocks and the
// active profile in its block, which callers see as soon as the library is loaded; then
// the releases of what the shared services make on first use.
bool Attach() noexcept;
void Detach() noexcept;

}  // namespace vexlo::startup

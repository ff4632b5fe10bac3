#pragma once

namespace quillet {

// Whether a backup, test or restore run is in progress in the console. Whatever could
// start another run meanwhile (the tray menu, a key) asks it first and refuses: runs are
// modal and never nest.
class RunActivity {
public:
    bool active() const { return depth_ > 0; }

    // Marks a run for the lifetime of the scope.
    class Scope {
    public:
        explicit Scope(RunActivity& activity) : activity_(activity) { ++activity_.depth_; }
        ~Scope() { --activity_.depth_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RunActivity& activity_;
    };

private:
    int depth_ = 0;
};

}  // namespace quillet

#pragma once
// The main window's progress gauge as a model: a maximum and a position that any thread may
// set. The position stays within 0..maximum, as a bar gauge's does. The window observes the
// model and repaints on its own thread; nothing here waits for it.
#include <functional>
#include <mutex>

namespace jqz {

class ProgressGauge {
public:
    int maximum() const;
    int position() const;

    void setMaximum(int maximum);  // a position above the new maximum comes down to it
    void setPosition(int position);
    // Position + delta (kept within 0..maximum).
    void stepBy(int delta = 1);
    // One step of the gauge simulation: the position goes up by one while it is below
    // wrapAt, and back to 0 from there.
    void stepWrapping(int wrapAt);

    // Called after every change with the new maximum and position, on the changing thread
    // and in the order of the changes. The handler must not block and must not call back
    // into the gauge.
    void setChangeHandler(std::function<void(int maximum, int position)> handler);

private:
    void changed();  // with mutex_ held

    mutable std::mutex mutex_;
    int maximum_ = 100;
    int position_ = 0;
    std::function<void(int, int)> handler_;
};

}  // namespace jqz

#pragma once
// The in-process HC11 model as the cable's port "Virtual HC11 (bootstrap)": one part that
// keeps its EEPROM and CONFIG from run to run, as a board on the bench does, made anew only
// when a run needs another family or crystal. Other names open the system's ports.
#include <memory>
#include <string>

#include "core/link/bootstrap_link.h"
#include "sim/hc11/virtual_hc11.h"

namespace jqz::sim {

class VirtualHc11Ports {
public:
    // base: the model's options before the family and crystal of a run are set (its EEPROM
    // at power-up, a secured part, faults). systemOpener: the other names (default: the
    // system's ports).
    explicit VirtualHc11Ports(Hc11Options base = {}, PortOpener systemOpener = {});

    // Opens kVirtualHc11Port as the model of the part's family (the E9 for the EA9 and the
    // L6, which the model shares its map with) at the crystal given.
    OpenedPort open(const std::string& name, const BootPart& part, double xtalMHz);
    // A CablePortOpener for runs at that crystal.
    CablePortOpener opener(double xtalMHz);

    // The model of the last run, or null before one.
    VirtualHc11* model() { return model_.get(); }

private:
    Hc11Options base_;
    PortOpener systemOpener_;
    std::string family_;
    double xtalMHz_ = 0.0;
    std::unique_ptr<VirtualHc11> model_;
};

}  // namespace jqz::sim

#include "sim/hc11/virtual_hc11_ports.h"

#include <utility>

#include "core/link/port_enumeration.h"

namespace jqz::sim {

VirtualHc11Ports::VirtualHc11Ports(Hc11Options base, PortOpener systemOpener)
    : base_(std::move(base)), systemOpener_(std::move(systemOpener)) {}

OpenedPort VirtualHc11Ports::open(const std::string& name, const BootPart& part, double xtalMHz) {
    if (name != kVirtualHc11Port) return systemOpener_ ? systemOpener_(name) : OpenSystemPort(name);
    const std::string family = part.family == "EA9" || part.family == "L6" ? "E9" : part.family;
    if (!model_ || family != family_ || xtalMHz != xtalMHz_) {
        Hc11Options options = base_;
        options.part = family;
        options.xtalMHz = xtalMHz;
        options.secured = base_.secured || part.secured;
        model_.reset();  // the port of the old part is closed by now
        model_ = std::make_unique<VirtualHc11>(options);
        family_ = family;
        xtalMHz_ = xtalMHz;
    }
    return model_->open();
}

CablePortOpener VirtualHc11Ports::opener(double xtalMHz) {
    return [this, xtalMHz](const std::string& name, const BootPart& part) {
        return open(name, part, xtalMHz);
    };
}

}  // namespace jqz::sim

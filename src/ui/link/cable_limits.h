#pragma once
// What the bootstrap cable cannot do, in one place: the controls of the main window that it
// disables (each with the reason as its tool tip), and the catalogue's rows it does not serve.
#include <string>

class QWidget;

namespace jqz {

// With the cable: disables the controls it cannot serve and gives each the reason as its
// tool tip. Without: gives them back their own tool tips and enables the check boxes (the
// option buttons stay as the device linking left them).
void ShowCableLimits(QWidget* window, bool cable);

// Why the cable does not serve the catalogue's row; empty when it does.
std::string CableRefusesDevice(const std::string& deviceName);

}  // namespace jqz

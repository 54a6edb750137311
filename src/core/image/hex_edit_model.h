#pragma once
// What the hex editor owns besides its views: the image, its description and the undo stack
// (and, through them, whatever the image's bulk operations re-apply and empty).
#include <string>

#include "core/image/image_description.h"
#include "core/image/copy_as.h"
#include "core/image/memory_image.h"
#include "core/image/stack_container.h"

namespace jqz {

class HexEditModel {
public:
    HexEditModel() {
        image.setDescription(&description);
        image.setUndoHistory(&undo);
    }
    HexEditModel(const HexEditModel&) = delete;
    HexEditModel& operator=(const HexEditModel&) = delete;

    // The hex dump that printouts are built from (any thread).
    std::string DumpText(long long from, long long to, int bytesPerLine) const {
        return jqz::DumpText(image, description, from, to, bytesPerLine);
    }
    // Unsaved work in the image: an edit that can be undone, or a description edited since
    // the last load, save, read or device change.
    bool IsModified() const { return !image.IsUndoEmpty() || description.IsModified(); }
    // The editor window's caption: project name, a blank, device name.
    std::string Caption() const { return description.projectName() + " " + description.deviceName(); }

    MemoryImage image;
    ImageDescription description{image};
    // The device whose memory map the image carries ("" when none is selected); set with the
    // map on every device change.
    std::string mapDevice;
    // That device's EEPROM, first and last address (both 0 when no device is selected).
    int eepromStart = 0, eepromEnd = 0;
    bool hasEeprom() const { return !mapDevice.empty() && eepromEnd > eepromStart; }
    StackContainer undo{image};
};

}  // namespace jqz

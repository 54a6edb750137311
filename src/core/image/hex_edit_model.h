#pragma once
// What the hex editor owns besides its views: the image and its description (and, through
// them, whatever the image's bulk operations re-apply).
#include "core/files/image_description.h"
#include "core/image/memory_image.h"

namespace jqz {

class HexEditModel {
public:
    HexEditModel() { image.setDescription(&description); }
    HexEditModel(const HexEditModel&) = delete;
    HexEditModel& operator=(const HexEditModel&) = delete;

    MemoryImage image;
    ImageDescription description{image};
};

}  // namespace jqz

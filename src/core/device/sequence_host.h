#pragma once
// What the program and read sequences and the firmware update need from the window that runs
// them: the connection, the option states, the device, the image, the log, the gauge, and
// word that a run has ended. A window implements it on its own thread's terms; a command-line
// front end or a test implements it plainly. The workers call it from their own threads, so
// nothing here may wait for the window's thread: the window may itself be waiting in a stop.
#include <cstdint>
#include <string>

#include "core/messages/log_model.h"
#include "core/device/device_options.h"
#include "core/device/progress_gauge.h"
#include "core/image/memory_image.h"

namespace jqz {

class COM;
class SupportedDeviceList;
class TargetLink;

enum class SequenceKind { Program, Read, FirmwareUpdate };

class SequenceHost {
public:
    virtual ~SequenceHost() = default;

    // The current connection, or null when there is none. Read when a run starts and when
    // it is stopped, on the controlling thread.
    virtual COM* connection() = 0;
    // The link the program and read sequences speak through, read when a run starts and when
    // it is stopped; null (the default): the programmer on connection().
    virtual TargetLink* target() { return nullptr; }
    // The down states of the option buttons and the check boxes (atomics; read by workers).
    virtual const SequenceOptions& options() = 0;
    // The selected device. Read only when a run starts, on the controlling thread.
    virtual const SupportedDeviceList& devices() = 0;
    // The memory image (single-byte reads and writes are safe from any thread).
    virtual MemoryImage& image() = 0;
    // AddLogLine from any thread; lines appear in call order.
    virtual LogSink& log() = 0;
    virtual ProgressGauge& gauge() = 0;
    // A run has ended, whatever the outcome: release the start button of a sequence, close
    // the firmware update dialog. Called from the worker as its last act; must not block.
    virtual void SequenceEnded(SequenceKind kind) = 0;
};

// The selected device's type code and memory map, copied when a run starts.
struct DeviceMap {
    std::string name;  // the catalogue's name
    std::uint8_t deviceType = 0;
    int eepromStart = 0, eepromEnd = 0;
    int configAddress = 0;
    int romArea1Start = 0, romArea1End = 0;
    int romArea2Start = 0, romArea2End = 0;
    int bootRomStart = 0, bootRomEnd = 0;

    static DeviceMap Of(const SupportedDeviceList& devices);
};

}  // namespace jqz

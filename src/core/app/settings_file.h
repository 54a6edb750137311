#pragma once
// The settings file: name=value lines, names matched without regard to case, the first line
// of a name counting. Reading takes any bytes; a value that does not convert leaves its field
// at the default.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/image/editor_appearance.h"
#include "core/device/target_link.h"

namespace jqz {

class NameValueList {
public:
    static NameValueList Parse(const std::string& bytes);

    // The value of the first line with this name (any case); empty when absent.
    std::string value(const std::string& name) const;
    void set(const std::string& name, const std::string& value);
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }
    // name=value lines with CR LF ends.
    std::string text() const;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// A decimal integer with an optional sign; nullopt for anything else.
std::optional<int> ParseDecimal(const std::string& text);

struct WindowGeometry {
    int left = 0, top = 0, height = 0, width = 0;
    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

struct PackageViewGeometry {
    int left = 0, top = 0, height = 0, width = 0;
    bool visible = false;
    friend bool operator==(const PackageViewGeometry&, const PackageViewGeometry&) = default;
};

struct EditorGeometry {
    int EditorLeft = 0, EditorTop = 0, EditorHeight = 0, EditorWidth = 0;
    int LeftGridWidth = 0;
    bool EditorVisible = false;
    int DescriptionLeft = 0, DescriptionTop = 0, DescriptionHeight = 0, DescriptionWidth = 0;
    bool DescriptionVisible = false;
    friend bool operator==(const EditorGeometry&, const EditorGeometry&) = default;
};

// Everything the settings file carries. Reading replaces only the fields whose keys hold a
// value that converts; writing emits every key in the file's order.
struct AppSettings {
    WindowGeometry mainWindow;
    PackageViewGeometry packageView;
    EditorGeometry editor;
    EditorAppearance appearance;
    std::string portName = "COM1";
    int baudRate = 9600;
    std::vector<std::string> recentFiles;
    // The Options page's "Skip blank blocks" (SKIP_BLANK_BLOCKS=1, absent when off).
    bool skipBlankBlocks = false;
    // The device last selected (DEVICE=, absent for none): the next start selects it again.
    std::string device;
    // The connection (LINK=PROGRAMMER|BOOTSTRAP; a file without it means the programmer) and
    // the cable's crystal, reset line and rate (BOOT_XTAL_MHZ=8, BOOT_RESET=HAND|DTR|RTS,
    // BOOT_RATE=FAST|1200). The keys are written once the cable was chosen or set up, so that
    // the file of a user who never did stays as it was.
    LinkKind link = LinkKind::Programmer;
    BootLinkOptions boot;

    void readFrom(const NameValueList& list);
    NameValueList toList() const;
};

// "jqz6811.ini" in $XDG_CONFIG_HOME (an absolute path; a relative one counts as unset), else
// ~/.config; on Windows in %APPDATA%\jqz6811.
std::string DefaultSettingsPath();

}  // namespace jqz

#pragma once
// The description that travels with the image: project name, device name, described cells
// (address and comment; colour and access live in the image) and free notes.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace jqz {

class MemoryImage;

// One described cell together with the attributes of the image cell it names.
struct ProjCell {
    int address = 0;
    int colour = 0;     // palette index 0..63
    bool readOnly = false;
    std::string comment;
    friend bool operator==(const ProjCell&, const ProjCell&) = default;
};

class ImageDescription {
public:
    struct Row {
        std::string addressText = "0x0000";
        std::string comment;
        friend bool operator==(const Row&, const Row&) = default;
    };

    explicit ImageDescription(MemoryImage& image);

    void clear();
    bool isEmpty() const;

    std::string projectName() const;
    void setProjectName(const std::string& text);
    std::string deviceName() const;
    void setDeviceName(const std::string& text);
    // One text, lines separated by CR LF.
    std::string notes() const;
    void setNotes(const std::string& text);

    int rowCount() const;
    void setRowCount(int n);
    ProjCell getRow(int index) const;
    void putRow(int index, const ProjCell& cell);

    // The window's own row actions.
    void AddRow();
    void DeleteRow();
    Row row(int index) const;
    void setRow(int index, const Row& row);

    // The row's address text as a number: decimal, or hexadecimal after "0x", "$" or "x", as
    // the dialogs' number fields take it; -1 when it does not convert or is negative.
    static long long ParseRowAddress(const std::string& text);

    // Runs recolour (which may give every cell a new colour and access) and then gives the
    // described cells theirs again, all under the description's lock: a row added or deleted
    // meanwhile on another thread lands before or after, never lost or brought back.
    void keepRowsAround(const std::function<void()>& recolour);

    // Whether the names, notes or rows differ from what they were when the image last left
    // bulk mode (a load, a save, a read or a device change): such edits are unsaved work.
    bool IsModified() const;
    // Takes the description as it is now as the unmodified one (the image's bulk mode ends so).
    void MarkUnmodified();

    // Called after a change of the project or device name (for the window captions).
    void setNamesChangedHandler(std::function<void()> handler);
    // Called after any change of names, rows or notes (for the window that shows them), from
    // the thread that made the change.
    void setChangedHandler(std::function<void()> handler);
    // Called after anything that may change IsModified, from the thread that did it.
    void setModifiedHandler(std::function<void()> handler);

private:
    void appendRowLocked();
    void namesChanged();
    void changed();
    void modifiedMayHaveChanged();

    MemoryImage& image_;
    mutable std::recursive_mutex mutex_;
    std::string projectName_;
    std::string deviceName_;
    std::string notes_;
    std::vector<Row> rows_;
    // Rows dropped from the end keep their texts, as a grid keeps the contents of rows it hides.
    std::vector<Row> dropped_;
    std::function<void()> namesChanged_;
    std::function<void()> changed_;
    std::function<void()> modifiedHandler_;
    // The texts as they were at the last MarkUnmodified.
    std::string savedProjectName_;
    std::string savedDeviceName_;
    std::string savedNotes_;
    std::vector<Row> savedRows_{Row{}};
};

}  // namespace jqz

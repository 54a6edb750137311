// The whole-file text the readers parse: the same bytes whether the file is small or large
// (taken whole into memory of its own).
#include <gtest/gtest.h>

#include "core/files/file_text.h"
#include "core/files/image_files.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

TEST(FileText, HoldsTheFileBytesSmallOrLarge) {
    test::TempDir dir;
    // Around the size from which files are taken whole at once.
    for (std::size_t size : {std::size_t{0}, std::size_t{17}, std::size_t{(1u << 20) - 1},
                             std::size_t{1u << 20}, std::size_t{(3u << 20) + 5}}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
        const std::string path = dir.file("f" + std::to_string(size));
        test::WriteText(path, bytes);
        FileText text;
        ASSERT_EQ(text.read(path), "");
        EXPECT_EQ(text.text().size(), size);
        EXPECT_TRUE(text.text() == bytes);
        // Read again into the same object: the earlier contents are let go.
        ASSERT_EQ(text.read(path), "");
        EXPECT_TRUE(text.text() == bytes);
    }
    FileText text;
    const std::string missing = dir.file("missing");
    EXPECT_EQ(text.read(missing), "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_TRUE(text.text().empty());
    EXPECT_EQ(text.read(dir.path()),
              "Cannot open file \"" + dir.path() + "\". It is a directory, not a plain file.");
}

}  // namespace
}  // namespace jqz

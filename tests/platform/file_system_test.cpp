// The file-system seam: real I/O errors carry errno, and the faulty double fails where told.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/error.h"
#include "support/temp_home.h"

namespace pavo {
namespace {

TEST(FileSystem, ErrorsCarryTheirKindAndErrno) {
    testing::TempHome home;
    try {
        file_system().open(home.path() / "missing", OpenMode::kRead);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kNotFound);
        EXPECT_EQ(e.os_error(), ENOENT);
        EXPECT_EQ(e.os_text(), "No such file or directory");
    }
    write_file_atomically(home.path() / "f", "abc");
    EXPECT_THROW(file_system().open(home.path() / "f", OpenMode::kCreateNew), Error);
    EXPECT_THROW(file_system().open(home.path(), OpenMode::kRead), Error);
    EXPECT_EQ(read_whole_file(home.path() / "f"), "abc");
    EXPECT_EQ(file_system().stat(home.path() / "f").size, 3u);
    EXPECT_EQ(file_system().stat(home.path() / "nope").type, EntryType::kMissing);
}

TEST(FileSystem, FaultyDoubleFillsTheDiskAtTheGivenByte) {
    testing::TempHome home;
    FaultyFileSystem faulty;
    faulty.fail_write_after_bytes = 5;
    ScopedFileSystem scope(&faulty);
    auto f = file_system().open(home.path() / "g", OpenMode::kCreate);
    f->write("12345", 5);
    try {
        f->write("6", 1);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.os_error(), ENOSPC);
    }
    EXPECT_EQ(faulty.bytes_written(), 6);
    f->close();
    EXPECT_EQ(read_whole_file(home.path() / "g"), "12345");
}

TEST(FileSystem, AtomicWriteReplacesWholeContent) {
    testing::TempHome home;
    write_file_atomically(home.path() / "h", std::string(100000, 'a'));
    write_file_atomically(home.path() / "h", "short");
    EXPECT_EQ(read_whole_file(home.path() / "h"), "short");
}

}  // namespace
}  // namespace pavo

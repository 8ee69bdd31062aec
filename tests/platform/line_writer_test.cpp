// The line writer: CR LF lines, folder levels made, whole files or nothing, flat memory, and errors
// that name the file as the user knows it.
#include "platform/line_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "support/temp_home.h"

namespace pavo {
namespace {

namespace stdfs = std::filesystem;

std::vector<std::string> names_in(const stdfs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : stdfs::directory_iterator(dir)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(LineWriter, WritesCrLfLinesUnderTheFinalNameOnlyAtClose) {
    testing::TempHome home;
    const std::string lines[] = {"Payments report", "", "Zo\xc3\xab \xe2\x82\xac 12.50", "  end  "};
    {
        LineWriter w(R"(c:\mydata\KV-DB\PAVODEN2\reports\Out.txt)");
        for (const auto& l : lines) w.write_line(l);
        EXPECT_EQ(w.lines_written(), 4u);
        EXPECT_EQ(w.display_name(), R"(c:\mydata\KV-DB\PAVODEN2\reports\Out.txt)");
        stdfs::path folder = home.drive_c() / "mydata/KV-DB/PAVODEN2/reports";
        EXPECT_EQ(w.host_path(), folder / "Out.txt");
        EXPECT_TRUE(stdfs::is_directory(folder));  // every level made at once
        EXPECT_FALSE(stdfs::exists(folder / "Out.txt"));
        w.close();
        w.close();  // a second close changes nothing
        EXPECT_EQ(names_in(folder), std::vector<std::string>{"Out.txt"});
    }
    EXPECT_EQ(read_whole_file(home.drive_c() / "mydata/KV-DB/PAVODEN2/reports/Out.txt"),
              "Payments report\r\n\r\nZo\xc3\xab \xe2\x82\xac 12.50\r\n  end  \r\n");
}

TEST(LineWriter, FindsExistingFoldersWhateverTheirCase) {
    testing::TempHome home;
    stdfs::create_directories(home.drive_c() / "MyData/Reports");
    {
        LineWriter w(R"(C:\mydata\.\REPORTS\sub\..\list.txt)");
        EXPECT_EQ(w.display_name(), R"(c:\mydata\REPORTS\list.txt)");
        w.write_line("a");
        w.close();
    }
    EXPECT_EQ(names_in(home.drive_c()), std::vector<std::string>{"MyData"});
    EXPECT_EQ(read_whole_file(home.drive_c() / "MyData/Reports/list.txt"), "a\r\n");
}

TEST(LineWriter, ReplacesAnExistingFileWholeAndAnEmptyFileIsEmpty) {
    testing::TempHome home;
    write_file_atomically(home.path() / "f.txt", std::string(100000, 'x'));
    {
        LineWriter w((home.path() / "f.txt").string());
        w.write_line("short");
        w.close();
    }
    EXPECT_EQ(read_whole_file(home.path() / "f.txt"), "short\r\n");
    {
        LineWriter w((home.path() / "f.txt").string());
        w.close();
    }
    EXPECT_EQ(read_whole_file(home.path() / "f.txt"), "");
}

TEST(LineWriter, NotClosedLeavesNothingAndKeepsTheOldFile) {
    testing::TempHome home;
    write_file_atomically(home.path() / "old.txt", "old content");
    {
        LineWriter fresh((home.path() / "new.txt").string());
        fresh.write_line("never seen");
        LineWriter replacing((home.path() / "old.txt").string());
        replacing.write_line(std::string(200000, 'y'));
    }
    EXPECT_EQ(names_in(home.path()), std::vector<std::string>{"old.txt"});
    EXPECT_EQ(read_whole_file(home.path() / "old.txt"), "old content");
}

TEST(LineWriter, LinesLongerThanTheBufferKeepTheirPlace) {
    testing::TempHome home;
    const std::string big(300000, 'b');
    {
        LineWriter w((home.path() / "big.txt").string());
        w.write_line("first");
        w.write_line(big);
        w.write_line("last");
        w.close();
    }
    EXPECT_EQ(read_whole_file(home.path() / "big.txt"), "first\r\n" + big + "\r\nlast\r\n");
}

TEST(LineWriter, AMillionLinesWithMemoryThatDoesNotGrow) {
    testing::TempHome home;
    FaultyFileSystem counting;  // no faults set: it only counts the bytes that reach the file
    ScopedFileSystem scope(&counting);
    const long long kLines = 1000000;
    const long long kMaxHeld = 1 << 20;  // what may wait in memory, however long the file
    long long given = 0;
    char line[64];
    {
        LineWriter w(R"(c:\reports\long.txt)");
        for (long long i = 0; i < kLines; ++i) {
            int n = std::snprintf(line, sizeof line, "line %07lld of the report", i);
            w.write_line(std::string_view(line, static_cast<std::size_t>(n)));
            given += n + 2;
            if (i % 1000 == 0) {
                ASSERT_LE(given - counting.bytes_written(), kMaxHeld) << i;
            }
        }
        EXPECT_EQ(w.lines_written(), static_cast<std::uint64_t>(kLines));
        w.close();
    }
    EXPECT_EQ(counting.bytes_written(), given);
    stdfs::path file = home.drive_c() / "reports/long.txt";
    ASSERT_EQ(stdfs::file_size(file), static_cast<std::uintmax_t>(given));
    auto f = file_system().open(file, OpenMode::kRead);
    std::string head(28, '\0'), tail(28, '\0');
    f->read_at(head.data(), head.size(), 0);
    f->read_at(tail.data(), tail.size(), static_cast<std::uint64_t>(given) - tail.size());
    EXPECT_EQ(head, "line 0000000 of the report\r\n");
    EXPECT_EQ(tail, "line 0999999 of the report\r\n");
}

// Each way the file can fail to be written: an error naming the logical file and the system's
// reason, nothing under the final name (an old file of that name untouched), no temporary left.
TEST(LineWriter, FailuresLeaveNothingBehind) {
    enum class Step { kOpen, kWrite, kClose };
    struct Case {
        const char* what;
        std::function<void(FaultyFileSystem&, const stdfs::path& drive_c)> arrange;
        Step fails_at;
        int os_error;
        const char* message;
    };
    const Case cases[] = {
        {"disk full in the middle of the file",
         [](FaultyFileSystem& f, const stdfs::path&) { f.fail_write_after_bytes = 150000; },
         Step::kWrite, ENOSPC, "Cannot write c:\\reports\\sub\\Out.txt: No space left on device"},
        {"disk full at the last write",
         // One byte short of the whole file: what the buffer still holds at close does not fit.
         [](FaultyFileSystem& f, const stdfs::path&) { f.fail_write_after_bytes = 282799; },
         Step::kClose, ENOSPC, "Cannot write c:\\reports\\sub\\Out.txt: No space left on device"},
        {"rename refused", [](FaultyFileSystem& f, const stdfs::path&) { f.fail_rename_call = 0; },
         Step::kClose, EIO, "c:\\reports\\sub\\Out.txt: Input/output error"},
        {"temporary refused", [](FaultyFileSystem& f, const stdfs::path&) { f.fail_open_call = 0; },
         Step::kOpen, EACCES, "Cannot create c:\\reports\\sub\\Out.txt: Permission denied"},
        {"missing folder cannot be made",
         [](FaultyFileSystem& f, const stdfs::path& c) {
             stdfs::remove(c / "reports/sub/Out.txt");
             stdfs::remove(c / "reports/sub");
             f.fail_mkdir_call = 1;  // "reports" exists, "sub" is refused
         },
         Step::kOpen, EACCES, "Cannot create the folder c:\\reports\\sub: Permission denied"},
        {"a file stands where the folder should be",
         [](FaultyFileSystem&, const stdfs::path& c) {
             stdfs::remove(c / "reports/sub/Out.txt");
             stdfs::remove(c / "reports/sub");
             write_file_atomically(c / "reports/sub", "in the way");
         },
         Step::kOpen, ENOTDIR, "Cannot create the folder c:\\reports\\sub: Not a directory"},
    };
    const std::string line(99, 'r');  // 101 bytes a line with its CR LF
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempHome home;
        const stdfs::path folder = home.drive_c() / "reports/sub";
        stdfs::create_directories(folder);
        write_file_atomically(folder / "Out.txt", "the report of yesterday");
        FaultyFileSystem faulty;
        c.arrange(faulty, home.drive_c());
        const bool had_old = stdfs::exists(folder / "Out.txt");
        const auto before =
            stdfs::is_directory(folder) ? names_in(folder) : std::vector<std::string>{};
        ScopedFileSystem scope(&faulty);

        Step reached = Step::kOpen;
        try {
            LineWriter w(R"(c:\reports\sub\Out.txt)");
            reached = Step::kWrite;
            for (int i = 0; i < 2800; ++i) w.write_line(line);  // 282,800 bytes
            reached = Step::kClose;
            w.close();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(reached, c.fails_at);
            EXPECT_EQ(e.kind(), c.os_error == ENOTDIR ? ErrorKind::kNotFound : ErrorKind::kIO);
            EXPECT_EQ(e.os_error(), c.os_error);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find(home.path().string()), std::string::npos)
                << e.what();
        }
        if (stdfs::is_directory(folder)) {
            EXPECT_EQ(names_in(folder), before);
        }
        if (had_old) {
            EXPECT_EQ(read_whole_file(folder / "Out.txt"), "the report of yesterday");
        }
    }
}

TEST(LineWriter, AfterAFailedWriteEveryCallFailsTheSameWay) {
    testing::TempHome home;
    FaultyFileSystem faulty;
    faulty.fail_write_after_bytes = 0;
    ScopedFileSystem scope(&faulty);
    LineWriter w((home.path() / "f.txt").string());
    const std::string big(70000, 'z');  // more than a buffer: it goes to the file at once
    EXPECT_THROW(w.write_line(big), Error);
    EXPECT_TRUE(names_in(home.path()).empty());  // the temporary went with the failure
    faulty.fail_write_after_bytes = -1;          // even when the disk has room again
    for (int i = 0; i < 2; ++i) {
        try {
            if (i == 0)
                w.write_line("x");
            else
                w.close();
            ADD_FAILURE() << "a failed file reported as written";
        } catch (const Error& e) {
            EXPECT_EQ(e.os_error(), ENOSPC);
            EXPECT_NE(std::string(e.what()).find((home.path() / "f.txt").string()),
                      std::string::npos);
        }
    }
    EXPECT_TRUE(names_in(home.path()).empty());
}

TEST(LineWriter, RefusesPathsWithoutAFileNameAndUnknownDrives) {
    testing::TempHome home;
    for (const std::string& bad :
         {std::string(R"(c:\reports\)"), std::string("c:"), std::string("c:/"), std::string(""),
          std::string(R"(q:\x.txt)"), (home.path() / "dir/").string(),
          (home.path() / "..").string()}) {
        try {
            LineWriter w(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kInvalidInput) << bad;
        }
    }
    EXPECT_FALSE(stdfs::exists(home.drive_c() / "reports"));
}

TEST(LineWriter, NoWritingAfterClose) {
    testing::TempHome home;
    LineWriter w((home.path() / "f.txt").string());
    w.write_line("one");
    w.close();
    try {
        w.write_line("two");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kInvalidInput);
    }
    EXPECT_EQ(read_whole_file(home.path() / "f.txt"), "one\r\n");
}

TEST(LineWriter, BytesGoOutAsGivenBesideLines) {
    testing::TempHome home;
    // Binary content: NULs, lone CR and LF, and a run larger than the buffer, all untouched.
    std::string picture("\x89PNG\r\n\x1a\n\0\0", 10);
    std::string big(200 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    {
        LineWriter w((home.path() / "p.png").string());
        w.write_bytes(picture);
        w.write_bytes(big);
        w.write_bytes("");
        EXPECT_EQ(w.lines_written(), 0u);
        w.close();
        EXPECT_THROW(w.write_bytes("x"), Error);
    }
    EXPECT_EQ(read_whole_file(home.path() / "p.png"), picture + big);
}

}  // namespace
}  // namespace pavo

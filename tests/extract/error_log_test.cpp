#include "extract/error_log.h"

#include <gtest/gtest.h>

#include <string>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

// An old run's log is replaced; every record is on the disk as soon as it is written, so a run that dies
// half-way still leaves the blocks of the documents it rejected; a record cut short by a full disk is removed,
// so the log never holds half a block, and with room again the next record follows the last whole one.
TEST(ErrorLogFile, ReplacesAnOldLogAndKeepsOnlyWholeRecordsOnDisk)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    test::writeFile(path, "an old run's log that must not survive");
    ErrorLogFile log;
    ASSERT_TRUE(log.open(path)) << log.lastError();
    EXPECT_TRUE(log.write("first\r\n\r\n"));
    EXPECT_EQ(test::readFile(path), "first\r\n\r\n");
    {
        test::FileSizeLimit limit(150);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(log.write(std::string(200, 'b')));  // 141 bytes fit, the rest does not
    }
    EXPECT_TRUE(log.failed());
    EXPECT_NE(log.lastError().find(path), std::string::npos) << log.lastError();
    EXPECT_EQ(test::readFile(path), "first\r\n\r\n");
    EXPECT_TRUE(log.write("second"));
    EXPECT_TRUE(log.close());
    EXPECT_EQ(test::readFile(path), "first\r\n\r\nsecond");

    // A log that cannot be created says where.
    for (const std::string& where : {dir.file("no such folder/Kyt_errors.txt"), dir.path().string()}) {
        EXPECT_FALSE(log.open(where)) << where;
        EXPECT_FALSE(log.isOpen());
        EXPECT_NE(log.lastError().find(where), std::string::npos) << log.lastError();
        EXPECT_FALSE(log.write("nowhere to go"));
        EXPECT_TRUE(log.close());  // closing a log that never opened is harmless
    }
}

TEST(LogSafeName, WritesEveryNameAsOneLineOfUtf8)
{
    EXPECT_EQ(LogSafeName("Résumé of A. Rao.docx"), "Résumé of A. Rao.docx");
    EXPECT_EQ(LogSafeName("a\tb\r\nc\xFF\x01\x7F.docx"), "a\\tb\\r\\nc\\xFF\\x01\\x7F.docx");
}

}  // namespace
}  // namespace kyt

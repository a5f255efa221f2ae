#include "extract/error_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

TEST(ErrorLogFile, ReplacesAnOldLogAndPutsEveryRecordOnDiskAtOnce)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    test::writeFile(path, "an old run's log that must not survive");
    {
        ErrorLogFile log;
        ASSERT_TRUE(log.open(path)) << log.lastError();
        EXPECT_TRUE(log.write("first\r\n\r\n"));
        // A run that dies half-way must still leave the blocks of the documents it rejected.
        EXPECT_EQ(test::readFile(path), "first\r\n\r\n");
        EXPECT_TRUE(log.write("second"));
    }  // the destructor closes the log
    EXPECT_EQ(test::readFile(path), "first\r\n\r\nsecond");
}

TEST(ErrorLogFile, ALogThatCannotBeCreatedSaysWhereAndAReopenStartsAfresh)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("a folder"));
    ErrorLogFile log;
    for (const std::string& path : {dir.file("no such folder/Kyt_errors.txt"), dir.file("a folder")}) {
        EXPECT_FALSE(log.open(path)) << path;
        EXPECT_FALSE(log.isOpen());
        EXPECT_TRUE(log.failed());
        EXPECT_NE(log.lastError().find(path), std::string::npos) << log.lastError();
        EXPECT_FALSE(log.write("nowhere to go"));
        EXPECT_TRUE(log.close());  // closing a log that never opened is harmless
    }
    ASSERT_TRUE(log.open(dir.file("log.txt")));
    EXPECT_FALSE(log.failed());
    EXPECT_TRUE(log.lastError().empty());
}

TEST(ErrorLogFile, ARecordCutShortIsRemovedSoTheLogNeverHoldsHalfABlock)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    const std::string first(100, 'a');
    ErrorLogFile log;
    ASSERT_TRUE(log.open(path));
    {
        test::FileSizeLimit limit(150);
        ASSERT_TRUE(limit.active());
        EXPECT_TRUE(log.write(first));
        EXPECT_FALSE(log.write(std::string(200, 'b')));  // 50 bytes fit, the rest does not
    }
    EXPECT_TRUE(log.failed());
    EXPECT_NE(log.lastError().find(path), std::string::npos) << log.lastError();
    EXPECT_EQ(test::readFile(path), first);
    // With room again the next record follows the last whole one.
    EXPECT_TRUE(log.write("c"));
    EXPECT_TRUE(log.close());
    EXPECT_EQ(test::readFile(path), first + "c");
}

TEST(LogSafeName, WritesEveryNameAsOneLineOfUtf8)
{
    EXPECT_EQ(LogSafeName("Résumé of A. Rao.docx"), "Résumé of A. Rao.docx");
    EXPECT_EQ(LogSafeName("a\tb\r\nc\xFF\x01\x7F.docx"), "a\\tb\\r\\nc\\xFF\\x01\\x7F.docx");
}

}  // namespace
}  // namespace kyt

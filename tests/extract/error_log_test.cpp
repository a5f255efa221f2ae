#include "extract/error_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "extract/validation.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

TEST(ErrorLogFile, ReplacesAnOldLogAndKeepsRecordsInOrder)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    test::writeFile(path, "an old run's log that must not survive");

    ErrorLogFile log;
    ASSERT_TRUE(log.open(path)) << log.lastError();
    EXPECT_TRUE(log.isOpen());
    EXPECT_TRUE(log.write("first\r\n\r\n"));
    EXPECT_TRUE(log.write("second\r\n\r\n"));
    EXPECT_TRUE(log.close());
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.failed());
    EXPECT_EQ(test::readFile(path), "first\r\n\r\nsecond\r\n\r\n");
}

TEST(ErrorLogFile, EveryRecordIsOnDiskBeforeTheLogCloses)
{
    // A run that dies half-way must still leave the blocks of the documents it rejected.
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    ErrorLogFile log;
    ASSERT_TRUE(log.open(path));
    ASSERT_TRUE(log.write("block\r\n"));
    EXPECT_EQ(test::readFile(path), "block\r\n");
}

TEST(ErrorLogFile, TheDestructorClosesTheLog)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    {
        ErrorLogFile log;
        ASSERT_TRUE(log.open(path));
        log.write("kept");
    }
    EXPECT_EQ(test::readFile(path), "kept");
}

TEST(ErrorLogFile, OpenInAMissingFolderFailsWithThePath)
{
    test::TempDir dir;
    const std::string path = dir.file("no such folder/Kyt_errors.txt");
    ErrorLogFile log;
    EXPECT_FALSE(log.open(path));
    EXPECT_FALSE(log.isOpen());
    EXPECT_TRUE(log.failed());
    EXPECT_NE(log.lastError().find(path), std::string::npos) << log.lastError();
    EXPECT_FALSE(log.write("nowhere to go"));
    EXPECT_TRUE(log.close());  // closing a log that never opened is harmless
}

TEST(ErrorLogFile, OpenOnAFolderFails)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("Kyt_errors.txt"));
    ErrorLogFile log;
    EXPECT_FALSE(log.open(dir.file("Kyt_errors.txt")));
    EXPECT_FALSE(log.lastError().empty());
}

TEST(ErrorLogFile, AFullDiskFailsTheWriteAndAddErrorKeepsTheText)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    ErrorLogFile log;
    ASSERT_TRUE(log.open("/dev/full")) << log.lastError();
    Control control;
    control.run.ErrorLog = &log;
    AddError(control, std::string("Name is blank"), kError);
    AddError(control, std::string("=-="), kFlush);
    EXPECT_TRUE(log.failed());
    EXPECT_NE(log.lastError().find("/dev/full"), std::string::npos) << log.lastError();
    EXPECT_EQ(control.run.ErrorText, "\t\t\t\tName is blank\r\n=-=\r\n");
}

using test::FileSizeLimit;

TEST(ErrorLogFile, ARecordCutShortIsRemovedSoTheLogNeverHoldsHalfABlock)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt_errors.txt");
    const std::string first(100, 'a');
    const std::string second(200, 'b');
    ErrorLogFile log;
    ASSERT_TRUE(log.open(path));
    {
        FileSizeLimit limit(150);
        if (!limit.active())
            GTEST_SKIP() << "cannot limit the file size here";
        EXPECT_TRUE(log.write(first));
        EXPECT_FALSE(log.write(second));  // 50 bytes fit, the rest does not
    }
    EXPECT_TRUE(log.failed());
    EXPECT_EQ(test::readFile(path), first);
    // With room again the next record follows the last whole one.
    EXPECT_TRUE(log.write("c"));
    EXPECT_TRUE(log.close());
    EXPECT_EQ(test::readFile(path), first + "c");
}

TEST(ErrorLogFile, ReopeningStartsAFreshLogAndClearsTheFailure)
{
    test::TempDir dir;
    ErrorLogFile log;
    EXPECT_FALSE(log.open(dir.file("missing/log.txt")));
    ASSERT_TRUE(log.open(dir.file("log.txt")));
    EXPECT_FALSE(log.failed());
    EXPECT_TRUE(log.lastError().empty());
    EXPECT_EQ(log.path(), dir.file("log.txt"));
}

}  // namespace
}  // namespace kyt

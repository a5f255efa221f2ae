#include <gtest/gtest.h>

#include <zip.h>

#include "merge/zip_stream.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kyt::merge {
namespace {

// Past 65,535 entries the package needs its ZIP64 directory; an entry written in pieces with room for
// ZIP64 sizes is read back like any other. libzip checks every header against the directory.
TEST(ZipStream, PackagesPastTheClassicLimitsReadBackWhole)
{
    test::TempDir dir;
    const std::string path = dir.file("many.zip");
    ZipStream zip;
    ASSERT_TRUE(zip.open(path)) << zip.error();
    ASSERT_TRUE(zip.begin("word/document.xml", true)) << zip.error();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(zip.write("<w:p>copy " + std::to_string(i) + "</w:p>"));
    ASSERT_TRUE(zip.end()) << zip.error();
    ASSERT_TRUE(zip.add("word/media/image1.png", std::string(1000, '\x89'), false));
    constexpr int kEntries = 70000;
    for (int i = 0; i < kEntries; ++i)
        ASSERT_TRUE(zip.add("word/kyt_header1_" + std::to_string(i) + ".xml", "<w:hdr/>", true)) << zip.error();
    ASSERT_TRUE(zip.finish()) << zip.error();
    EXPECT_FALSE(zip.open(path)) << "an existing file is never written over";

    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    ASSERT_TRUE(archive) << "libzip error " << code;
    EXPECT_EQ(zip_get_num_entries(archive, 0), kEntries + 2);
    for (const char* name : {"word/document.xml", "word/media/image1.png", "word/kyt_header1_69999.xml"}) {
        zip_stat_t stat;
        ASSERT_EQ(zip_stat(archive, name, 0, &stat), 0) << name;
        zip_file_t* file = zip_fopen(archive, name, 0);
        ASSERT_TRUE(file) << name;
        std::string bytes(stat.size, '\0');
        EXPECT_EQ(zip_fread(file, bytes.data(), stat.size), static_cast<zip_int64_t>(stat.size)) << name;  // CRC checked
        zip_fclose(file);
        if (std::string(name) == "word/document.xml") {
            EXPECT_EQ(bytes.substr(bytes.size() - 19), "<w:p>copy 999</w:p>");
        }
    }
    zip_discard(archive);
}

TEST(ZipStream, AFullDiskIsToldAsSuch)
{
    test::TempDir dir;
    ZipStream zip;
    ASSERT_TRUE(zip.open(dir.file("full.zip")));
    test::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.active());
    std::string noise;
    for (unsigned x = 1; noise.size() < 1 << 20; x = x * 1103515245u + 12345u)
        noise += static_cast<char>(x >> 16);
    const bool written = zip.add("word/media/noise.bin", noise, false) && zip.finish();
    EXPECT_FALSE(written);
    EXPECT_EQ(zip.error(), "File too large");
}

}  // namespace
}  // namespace kyt::merge

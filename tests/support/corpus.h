#pragma once
// The real-world documents of the shared corpus, ../shared/corpus/real-documents beside the clone (see its
// SOURCES.md). A clone without one skips the tests that read them, naming the folder.

#include <gtest/gtest.h>

#include <filesystem>

#define KYT_SKIP_WITHOUT_CORPUS()                            \
    if (!std::filesystem::is_directory(KYT_CORPUS_DIR))      \
    GTEST_SKIP() << "no real-world documents here: the folder " << KYT_CORPUS_DIR << " is absent"

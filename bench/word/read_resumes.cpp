// Reads both tables of many generated résumés and prints documents per second, beside python-docx
// doing the same work on the same files, and beside a bare libzip + pugixml walk of every cell.
//
//   kyt-bench-word [--count N] [--dir DIR] [--python PROGRAM] [--passes P]

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "word/document.h"
#include "resume-form/resume_form.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The reader under test: open, then every cell of tables 1 and 2.
size_t readWithKyt(const std::vector<std::string>& files, size_t& cells)
{
    size_t chars = 0;
    cells = 0;
    for (const std::string& path : files) {
        std::string error;
        auto doc = kyt::word::Document::open(path, error);
        if (!doc) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            std::exit(1);
        }
        for (int t = 1; t <= 2; ++t)
            for (const auto& row : doc->table(t)->rows)
                for (const auto& cell : row) {
                    chars += cell.size();
                    ++cells;
                }
    }
    return chars;
}

// The floor: inflate document.xml, parse it, visit every w:t under a w:tc. No tables model, no limits.
size_t bareWalk(const std::vector<std::string>& files)
{
    size_t chars = 0;
    for (const std::string& path : files) {
        int err = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &err);
        if (!archive)
            continue;
        zip_stat_t st;
        zip_stat(archive, "word/document.xml", 0, &st);
        std::string xml(st.size, '\0');
        zip_file_t* file = zip_fopen(archive, "word/document.xml", 0);
        zip_fread(file, xml.data(), st.size);
        zip_fclose(file);
        zip_discard(archive);
        pugi::xml_document doc;
        doc.load_buffer_inplace(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata);
        for (pugi::xml_node node = doc.first_child(); node;) {
            if (std::strcmp(node.name(), "w:t") == 0)
                chars += std::strlen(node.text().get());
            if (node.first_child() && node.first_child().type() == pugi::node_element)
                node = node.first_child();
            else {
                while (node && !node.next_sibling())
                    node = node.parent();
                if (node)
                    node = node.next_sibling();
            }
        }
    }
    return chars;
}

template <typename F>
double bestOf(int passes, F&& work)
{
    double best = 1e30;
    for (int p = 0; p < passes; ++p) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    int count = 1000;
    int passes = 3;
    std::string dir;
    std::string python = "/usr/bin/python3";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--count"))
            count = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--dir"))
            dir = argv[i + 1];
        else if (!std::strcmp(argv[i], "--python"))
            python = argv[i + 1];
        else if (!std::strcmp(argv[i], "--passes"))
            passes = std::max(1, std::atoi(argv[i + 1]));
    }

    bool ownDir = false;
    if (dir.empty()) {
        std::string pattern = (fs::temp_directory_path() / "kyt-bench-word-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = pattern;
        ownDir = true;
    }
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".docx")
            files.push_back(entry.path().string());
    if (files.empty()) {
        const auto start = Clock::now();
        for (int n = 0; n < count; ++n) {
            const std::string usn = kyt::form::batchUsn(n);
            std::string error;
            const std::string path = (fs::path(dir) / (usn + ".docx")).string();
            if (!kyt::form::writeResume(kyt::form::sampleResume(n, usn, kyt::form::Course::BE), path,
                                              error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            files.push_back(path);
        }
        std::printf("generated %zu résumés in %.2f s\n", files.size(),
                    std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(files.begin(), files.end());
    uintmax_t bytes = 0;
    for (const auto& f : files)
        bytes += fs::file_size(f);
    std::printf("files: %zu in %s, %.1f KiB each\n", files.size(), dir.c_str(), bytes / 1024.0 / files.size());

    // Warm the page cache so every contender reads from memory.
    for (const auto& f : files)
        (void)readAll(f).size();

    size_t cells = 0, chars = 0;
    const double kyt = bestOf(passes, [&] { chars = readWithKyt(files, cells); });
    const double bare = bestOf(passes, [&] { (void)bareWalk(files); });
    const double kytRate = files.size() / kyt;
    std::printf("kyt reader:        %8.0f documents/s  (%zu cells, best of %d passes, %.3f s)\n", kytRate, cells,
                passes, kyt);
    std::printf("bare zip+pugixml:  %8.0f documents/s  (the floor, no model and no limits)\n", files.size() / bare);

    const std::string command = python + " '" + KYT_BENCH_PYTHON_SCRIPT + "' '" + dir + "'";
    FILE* pipe = popen(command.c_str(), "r");
    double pySeconds = 0;
    size_t pyDocs = 0, pyCells = 0;
    if (pipe) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, pipe))
            std::sscanf(line, "%zu %zu %lf", &pyDocs, &pyCells, &pySeconds);
        pclose(pipe);
    }
    if (pyDocs > 0 && pySeconds > 0) {
        const double pyRate = pyDocs / pySeconds;
        std::printf("python-docx:       %8.0f documents/s  (%zu cells, one pass, %.3f s)\n", pyRate, pyCells, pySeconds);
        std::printf("ratio kyt / python-docx: %.1fx%s\n", kytRate / pyRate,
                    pyCells == cells ? "" : "  (cell counts differ!)");
    } else {
        std::printf("python-docx: not run (%s with python3-docx needed)\n", python.c_str());
    }

    if (ownDir) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    return 0;
}

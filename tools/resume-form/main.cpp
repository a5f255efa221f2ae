// kyt-resume-form: writes résumés on the college's fixed form, the blank form for students, and
// batches of valid résumés for trials and benchmarks.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resume-form/resume_form.h"

namespace fs = std::filesystem;
using namespace kyt::form;

namespace {

void usage(FILE* out)
{
    std::fprintf(out,
                 "usage:\n"
                 "  kyt-resume-form [--mca] [--usn USN] [--serial N] [--fault F]... --out FILE.docx\n"
                 "      one valid résumé (varied by --serial), with the faults asked for\n"
                 "  kyt-resume-form --data FILE [--fault F]... (--out FILE.docx | --out-dir DIR)\n"
                 "      the résumés described in FILE; with --out-dir each is named after its USN\n"
                 "  kyt-resume-form --blank [--mca] --out FILE.docx\n"
                 "      the blank form that students fill in\n"
                 "  kyt-resume-form --batch N --out-dir DIR [--college 1QP] [--year 22] [--mca-every K]\n"
                 "      N valid résumés with distinct USNs 1QP22CS001, 1QP22CS002, ... (999 a branch, then\n"
                 "      EC, ME, CV, EE, IS, then the next year); with --mca-every K every K-th one is an MCA\n"
                 "      résumé (1QP22MCA01 ... 1QP22MCA99, then 1QP23MCA01 ...)\n"
                 "\nfaults (--fault NAME[=VALUE], repeatable):\n%s\ndata files:\n%s",
                 faultHelp(), dataHelp());
}

bool readText(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

bool write(const Resume& resume, const std::string& path)
{
    std::string error;
    if (!writeResume(resume, path, error)) {
        std::fprintf(stderr, "kyt-resume-form: %s\n", error.c_str());
        return false;
    }
    return true;
}

std::string fileNameFor(const Resume& resume, size_t index)
{
    auto it = resume.fields.find("usn");
    std::string name = it == resume.fields.end() || it->second.empty() ? "resume-" + std::to_string(index + 1) : it->second;
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return name + ".docx";
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out, outDir, data, usn, college = "1QP", year = "22";
    std::vector<std::string> faults;
    bool mca = false, blank = false;
    int serial = 0, batch = -1, mcaEvery = 0;

    auto number = [](const std::string& text, int& value) {
        char* end = nullptr;
        const long v = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || v < 0 || v > 1000000)
            return false;
        value = static_cast<int>(v);
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&](std::string& target) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "kyt-resume-form: %s needs a value\n", a.c_str());
                return false;
            }
            target = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--mca") {
            mca = true;
        } else if (a == "--blank") {
            blank = true;
        } else if (a == "--out") {
            if (!next(out))
                return 2;
        } else if (a == "--out-dir") {
            if (!next(outDir))
                return 2;
        } else if (a == "--data") {
            if (!next(data))
                return 2;
        } else if (a == "--usn") {
            if (!next(usn))
                return 2;
        } else if (a == "--college") {
            if (!next(college))
                return 2;
        } else if (a == "--year") {
            if (!next(year))
                return 2;
        } else if (a == "--fault") {
            if (!next(v))
                return 2;
            faults.push_back(v);
        } else if (a == "--serial" || a == "--batch" || a == "--mca-every") {
            if (!next(v))
                return 2;
            int& target = a == "--serial" ? serial : a == "--batch" ? batch : mcaEvery;
            if (!number(v, target)) {
                std::fprintf(stderr, "kyt-resume-form: %s needs a whole number\n", a.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "kyt-resume-form: unknown argument '%s'\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }

    std::string error;
    if (blank) {
        if (out.empty()) {
            std::fprintf(stderr, "kyt-resume-form: --blank needs --out FILE\n");
            return 2;
        }
        if (!writeBlankForm(mca ? Course::MCA : Course::BE, out, error)) {
            std::fprintf(stderr, "kyt-resume-form: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    if (batch >= 0) {
        if (outDir.empty()) {
            std::fprintf(stderr, "kyt-resume-form: --batch needs --out-dir DIR\n");
            return 2;
        }
        std::error_code ec;
        fs::create_directories(outDir, ec);
        int beSerial = 0, mcaSerial = 0;
        for (int n = 0; n < batch; ++n) {
            const bool asMca = mcaEvery > 0 && (n + 1) % mcaEvery == 0;
            const std::string id = asMca ? batchMcaUsn(mcaSerial++, college, year) : batchUsn(beSerial++, college, year);
            Resume resume = sampleResume(n, id, asMca ? Course::MCA : Course::BE);
            for (const std::string& f : faults)
                if (!applyFault(resume, f, error)) {
                    std::fprintf(stderr, "kyt-resume-form: %s\n", error.c_str());
                    return 2;
                }
            if (!write(resume, (fs::path(outDir) / (id + ".docx")).string()))
                return 1;
        }
        return 0;
    }

    std::vector<Resume> resumes;
    if (!data.empty()) {
        std::string text;
        if (!readText(data, text)) {
            std::fprintf(stderr, "kyt-resume-form: cannot read %s\n", data.c_str());
            return 1;
        }
        if (!parseResumes(text, resumes, error)) {
            std::fprintf(stderr, "kyt-resume-form: %s: %s\n", data.c_str(), error.c_str());
            return 2;
        }
    } else {
        const Course course = mca ? Course::MCA : Course::BE;
        if (usn.empty())
            usn = mca ? college + year + "MCA01" : batchUsn(serial, college, year);
        resumes.push_back(sampleResume(serial, usn, course));
    }
    for (Resume& resume : resumes)
        for (const std::string& f : faults)
            if (!applyFault(resume, f, error)) {
                std::fprintf(stderr, "kyt-resume-form: %s\n", error.c_str());
                return 2;
            }

    if (!outDir.empty()) {
        std::error_code ec;
        fs::create_directories(outDir, ec);
        for (size_t i = 0; i < resumes.size(); ++i)
            if (!write(resumes[i], (fs::path(outDir) / fileNameFor(resumes[i], i)).string()))
                return 1;
        return 0;
    }
    if (out.empty() || resumes.size() != 1) {
        std::fprintf(stderr, "kyt-resume-form: give --out FILE for one résumé, or --out-dir DIR\n");
        return 2;
    }
    return write(resumes[0], out) ? 0 : 1;
}

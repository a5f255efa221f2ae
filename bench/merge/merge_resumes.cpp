// Generates the résumés of many students from a company format through the whole generator (database,
// saved query, merge, file) and prints how long it took and the peak memory it needed, for each format
// and count: a small format, a realistic one (40 fields, about 32 KB of text) and a very wide one (3,000
// fields). Each run is a process of its own, so that its peak is its own. Beside it, python-docxtpl
// renders the small format per student and python-docxcompose joins them.
//
//   kyt-bench-merge [--counts 1000,10000] [--formats small,forty,wide] [--each] [--dir DIR]
//                   [--python PROGRAM] [--no-python]
//
// --each also writes one file per student for every format and count.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "db/database.h"
#include "merge/generate_resumes.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
namespace db = kyt::db;

namespace {

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The columns a company's résumé layout asks for, label and column.
const std::vector<std::pair<std::string, std::string>> kRows = {
    {"Name", "Name"},           {"USN", "USN"},          {"Branch", "BranchName"},  {"Date of birth", "dob1"},
    {"Gender", "Gender"},       {"E-mail", "Email"},     {"Phone", "Phone"},        {"Address", "Address1"},
    {"", "Address2"},           {"City", "City"},        {"PIN", "Pin"},            {"Languages", "Languages"},
    {"CET rank", "CET"},        {"Aggregate", "Percent1To8"}, {"Semesters", "SemsCount"},
    {"Final project", "finalproject1"}, {"Pre-final project", "prefinalproject1"}, {"Hobbies", "hobbies"},
    {"Activities", "eca"},      {"Achievements", "Achievements"}};
// Twenty more, for the realistic format.
const std::vector<std::pair<std::string, std::string>> kMoreRows = {
    {"Father's name", "SecondName"}, {"Nationality", "Other1"}, {"Blood group", "Other2"},
    {"Religion", "Other3"},      {"Locality", "Address3"},   {"Permanent address", "PermAddress1"},
    {"", "PermAddress2"},        {"", "PermAddress3"},       {"Permanent city", "PermCity"},
    {"Permanent PIN", "PermPin"}, {"Semesters 1-4", "one_to_4"}, {"Semesters 1-5", "one_to_5"},
    {"Semesters 1-6", "one_to_6"}, {"Semesters 1-7", "one_to_7"}, {"Semesters 1-8", "one_to_8"},
    {"Final project (cont.)", "finalproject2"}, {"Pre-final project (cont.)", "prefinalproject2"},
    {"Seat number", "USN_FP"},   {"Record", "MERGEREC"},     {"Signature", "Name"}};

std::string escape(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? std::string("&amp;") : c == '<' ? std::string("&lt;") : std::string(1, c);
    return out;
}

// Runs as a word processor writes them: revision ids and fonts on every run.
std::string run(const std::string& text, bool bold = false, bool wordLike = false)
{
    const std::string rPr = wordLike ? std::string(R"(<w:rPr><w:rFonts w:ascii="Calibri" w:hAnsi="Calibri" w:cs="Calibri"/>)") +
                                           (bold ? "<w:b/><w:bCs/>" : "") + R"(<w:sz w:val="22"/><w:szCs w:val="22"/></w:rPr>)"
                                     : bold ? "<w:rPr><w:b/></w:rPr>" : "";
    return std::string(wordLike ? R"(<w:r w:rsidR="00A1B2C3" w:rsidRPr="00D4E5F6">)" : "<w:r>") + rPr +
           R"(<w:t xml:space="preserve">)" + escape(text) + "</w:t></w:r>";
}

// The value place: a merge field for us, a Jinja tag for docxtpl.
std::string place(const std::string& column, bool jinja)
{
    if (jinja)
        return run("{{ " + column + " }}");
    const std::string r = "<w:r>";
    const std::string code = column == "MERGEREC" ? " MERGEREC " : " MERGEFIELD " + column + R"( \* MERGEFORMAT )";
    return r + R"(<w:fldChar w:fldCharType="begin"/></w:r>)" + r + R"(<w:instrText xml:space="preserve">)" + code +
           "</w:instrText></w:r>" + r + R"(<w:fldChar w:fldCharType="separate"/></w:r>)" + r + "<w:t>«" + column +
           "»</w:t></w:r>" + r + R"(<w:fldChar w:fldCharType="end"/></w:r>)";
}

std::string packageBytes(const std::string& body)
{
    const std::string document =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><w:body>)" +
        body +
        R"(<w:sectPr><w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1134" w:right="1134" w:bottom="1134" w:left="1134" w:header="567" w:footer="567" w:gutter="0"/></w:sectPr></w:body></w:document>)";
    const std::vector<std::pair<std::string, std::string>> parts = {
        {"[Content_Types].xml",
         R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)"},
        {"word/document.xml", document}};
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : parts)
        zip_file_add(archive, name.c_str(), zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
    zip_close(archive);
    std::string out;
    zip_source_open(memory);
    char buffer[65536];
    zip_int64_t n;
    while ((n = zip_source_read(memory, buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    zip_source_close(memory);
    zip_source_free(memory);
    return out;
}

std::string tableOf(const std::vector<std::pair<std::string, std::string>>& rows, bool jinja, bool wordLike)
{
    std::string body = R"(<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/><w:tblBorders><w:insideH w:val="single" w:sz="4" w:space="0" w:color="auto"/></w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w="3000"/><w:gridCol w:w="6500"/></w:tblGrid>)";
    const std::string cell = wordLike ? R"(<w:tc><w:tcPr><w:tcW w:w="3000" w:type="dxa"/></w:tcPr><w:p w:rsidR="00A1B2C3" w:rsidRDefault="00A1B2C3"><w:pPr><w:spacing w:after="60"/></w:pPr>)"
                                      : "<w:tc><w:p>";
    for (const auto& [label, column] : rows)
        body += "<w:tr>" + cell + run(label, true, wordLike) + "</w:p></w:tc>" + cell + place(column, jinja) +
                "</w:p></w:tc></w:tr>";
    return body + "</w:tbl>";
}

// The three formats: "small" (20 fields in a table), "forty" (40 fields as a word processor writes
// them, about 32 KB of text) and "wide" (3,000 fields).
std::string formatBytes(const std::string& format, bool jinja = false)
{
    std::string body = "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr>" + run("CURRICULUM VITAE", true) + "</w:p>";
    if (format == "small") {
        body += tableOf(kRows, jinja, false);
    } else if (format == "forty") {
        std::vector<std::pair<std::string, std::string>> rows = kRows;
        rows.insert(rows.end(), kMoreRows.begin(), kMoreRows.end());
        body += tableOf(rows, jinja, true);
        for (int i = 0; body.size() < 31000; ++i)
            body += R"(<w:p w:rsidR="00A1B2C3" w:rsidRDefault="00A1B2C3"><w:pPr><w:spacing w:after="120"/><w:jc w:val="both"/></w:pPr>)" +
                    run("Career objective, paragraph " + std::to_string(i + 1) +
                            ": to work in a challenging environment where my skills in software engineering and my "
                            "knowledge of the field are put to use for the growth of the organisation.",
                        false, true) +
                    "</w:p>";
    } else {
        for (int i = 0; i < 3000; ++i) {
            const auto& [label, column] = kRows[static_cast<size_t>(i) % kRows.size()];
            body += "<w:p>" + run(label + " " + std::to_string(i / kRows.size() + 1) + ": ") + place(column, jinja) + "</w:p>";
        }
    }
    body += "<w:p>" + run("I hereby declare that the above information is true. ") + place("Name", jinja) + "</w:p><w:p/>";
    return packageBytes(body);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string usnOf(int i)
{
    char usn[16];
    std::snprintf(usn, sizeof usn, "1RV22CS%03d", i % 1000);
    return std::string(usn) + (i >= 1000 ? std::to_string(i / 1000) : "");
}

bool fillDatabase(const std::string& path, int count, std::string* json)
{
    db::Failure failure;
    if (!db::Database::create(path, {{"CS", "Computer Science"}}, failure)) {
        std::fprintf(stderr, "cannot make the database: %s\n", failure.description.c_str());
        return false;
    }
    auto database = db::Database::open(path, db::Road::Connector, failure);
    if (!database || !database->begin(failure))
        return false;
    if (json)
        *json = "[";
    for (int i = 0; i < count; ++i) {
        const std::string usn = usnOf(i);
        const std::string name = "Student Number " + std::to_string(i);
        std::string sql = "INSERT INTO Personal Values('" + usn + "', 'Computer Science', '" + name +
                          "', 'Parent Name', '05-11-2003', 'Female', 'Kannada, English', '12345', 'Indian', 'O+', "
                          "'Hindu', 'student" + std::to_string(i) + "@example.com', '12 First Main', 'Jayanagar', "
                          "'Bangalore', '', 'Bangalore', 560001, '14 Second Main', 'Mysore Road', 'Mysore', '', "
                          "'Mysore', 570001, '080-2345678', 'chess, music', 'debate', 'University rank', 71.25,70.5,2,0,0, "
                          "'A compiler for a small language', 'e', 'Placement database for the college', 'e')";
        if (!database->exec(sql, failure))
            return false;
        for (int level = 3; level <= 10; ++level)
            if (!database->exec("INSERT INTO marks values('" + usn + "', " + std::to_string(level) +
                                    ", 'RV College', " + std::to_string(600 + i % 300) + ", 900, 70, 'FCD', 'Jun 2023', '1')",
                                failure))
                return false;
        if (json)
            *json += std::string(i ? "," : "") + "{\"USN\":\"" + usn + "\",\"Name\":\"" + name +
                     "\",\"BranchName\":\"Computer Science\",\"dob1\":\"05-11-2003\",\"Gender\":\"Female\",\"Email\":\"student" +
                     std::to_string(i) + "@example.com\",\"Phone\":\"080-2345678\",\"Address1\":\"12 First Main\","
                     "\"Address2\":\"Jayanagar\",\"City\":\"Bangalore\",\"Pin\":\"560001\",\"Languages\":\"Kannada, English\","
                     "\"CET\":\"12345\",\"Percent1To8\":\"70.00\",\"SemsCount\":\"8\",\"finalproject1\":\"Placement database "
                     "for the college\",\"prefinalproject1\":\"A compiler for a small language\",\"hobbies\":\"chess, "
                     "music\",\"eca\":\"debate\",\"Achievements\":\"University rank\"}";
    }
    if (json)
        *json += "]";
    // The aggregate over all eight semesters, as a query run would have left it.
    return database->commit(failure) &&
           database->setSavedQuery("FreePercent",
                                   "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * "
                                   "100,'0.00') AS Percent1To8 From marks Where education_Level >=2 + 1+ 0 And "
                                   "education_Level <= 2 + 8+ 0 GROUP BY USN",
                                   failure);
}

// The peak resident memory of this process, in MB.
double peakMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One generation in this process: prints "<seconds> <processor seconds> <peak MB> <résumés>".
int runOne(const std::string& database, const std::string& format, const std::string& out, bool each)
{
    kyt::Control control;
    control.config.DatabasePath = database;
    kyt::GenerateOptions options;
    (each ? options.perStudentFolder : options.outputFile) = out;
    const auto start = Clock::now();
    const double cpuBefore = cpuSeconds();
    const auto result = kyt::GenerateResumes(control, fs::path(format).parent_path().string(),
                                             fs::path(format).filename().string(), kyt::GenerateHooks{}, options);
    const double took = seconds(start);
    const double cpu = cpuSeconds() - cpuBefore;
    if (result.outcome != kyt::GenerateOutcome::Written) {
        std::fprintf(stderr, "the merge failed: %s\n", result.description.c_str());
        return 1;
    }
    std::printf("%.3f %.3f %.1f %zu\n", took, cpu, peakMegabytes(), result.records);
    return 0;
}

// Runs this program again for one generation; false when it failed.
bool measure(const std::vector<std::string>& args, double& took, double& cpu, double& peak, size_t& records)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; spawned == 0 && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    std::istringstream in(output);
    return static_cast<bool>(in >> took >> cpu >> peak >> records);
}

double runPython(const std::string& python, const std::string& args)
{
    const std::string command = python + " " KYT_BENCH_PYTHON_SCRIPT " " + args;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char line[256] = {0};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    return got && status == 0 ? std::atof(line) : -1;
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty())
            out.push_back(item);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && !std::strcmp(argv[1], "--run"))
        return runOne(argv[2], argv[3], argv[4], !std::strcmp(argv[5], "each"));

    std::vector<std::string> counts = {"1000", "10000"};
    std::vector<std::string> formats = {"small", "forty", "wide"};
    bool each = false;
    std::string dir;
    // Debian's python3-docxtpl and python3-docxcompose belong to the system Python.
    std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    bool withPython = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--counts") && i + 1 < argc)
            counts = splitList(argv[++i]);
        else if (!std::strcmp(argv[i], "--formats") && i + 1 < argc)
            formats = splitList(argv[++i]);
        else if (!std::strcmp(argv[i], "--each"))
            each = true;
        else if (!std::strcmp(argv[i], "--dir") && i + 1 < argc)
            dir = argv[++i];
        else if (!std::strcmp(argv[i], "--python") && i + 1 < argc)
            python = argv[++i];
        else if (!std::strcmp(argv[i], "--no-python"))
            withPython = false;
    }
    if (dir.empty()) {
        char pattern[] = "/tmp/kyt-bench-merge-XXXXXX";
        dir = mkdtemp(pattern);
    }
    const fs::path base(dir);
    fs::create_directories(base);
    std::map<std::string, std::string> json;
    for (const std::string& count : counts) {
        const std::string database = (base / ("students-" + count + ".db")).string();
        fs::remove(database);
        if (!fillDatabase(database, std::atoi(count.c_str()), &json[count])) {
            std::fprintf(stderr, "cannot fill the database\n");
            return 1;
        }
    }
    for (const std::string& format : formats)
        writeFile((base / (format + ".docx")).string(), formatBytes(format));

    std::printf("files in %s\n", dir.c_str());
    // Wall seconds on a shared machine wander; the processor seconds say what the work cost.
    std::printf("%-8s %9s  %-17s %9s %9s %9s %9s\n", "format", "students", "output", "seconds", "cpu s", "peak MB",
                "size MB");
    for (const std::string& format : formats) {
        for (const std::string& count : counts) {
            for (bool perStudent : {false, true}) {
                if (perStudent && !each)
                    continue;
                const std::string out = (base / (format + "-" + count + (perStudent ? "-each" : ".docx"))).string();
                if (perStudent)
                    fs::create_directories(out);
                double took = 0, cpu = 0, peak = 0;
                size_t records = 0;
                const bool ok = measure({argv[0], "--run", (base / ("students-" + count + ".db")).string(),
                                         (base / (format + ".docx")).string(), out, perStudent ? "each" : "one"},
                                        took, cpu, peak, records);
                if (!ok) {
                    std::printf("%-8s %9s  %-17s   failed\n", format.c_str(), count.c_str(),
                                perStudent ? "file per student" : "one document");
                    continue;
                }
                std::uintmax_t size = 0;
                if (perStudent)
                    for (const auto& entry : fs::directory_iterator(out))
                        size += entry.file_size();
                else
                    size = fs::file_size(out);
                std::printf("%-8s %9zu  %-17s %9.3f %9.3f %9.1f %9.1f\n", format.c_str(), records,
                            perStudent ? "file per student" : "one document", took, cpu, peak,
                            static_cast<double>(size) / 1e6);
                std::fflush(stdout);
                if (perStudent)
                    fs::remove_all(out);
                else
                    fs::remove(out);
            }
        }
    }

    if (!withPython || counts.empty())
        return 0;
    const std::string probe = python + " -c 'import docxtpl, docxcompose' 2>/dev/null";
    if (std::system(probe.c_str()) != 0) {
        std::printf("python-docxtpl / python-docxcompose: not installed, not compared\n");
        return 0;
    }
    const std::string count = counts.front();
    const std::string tpl = (base / "small-jinja.docx").string();
    const std::string data = (base / "students.json").string();
    writeFile(tpl, formatBytes("small", true));
    writeFile(data, json[count]);
    fs::create_directories(base / "each-docxtpl");
    const double pyOne = runPython(python, "'" + tpl + "' '" + data + "' '" + (base / "all-docxtpl.docx").string() + "'");
    const double pyEach = runPython(python, "'" + tpl + "' '" + data + "' '" + (base / "each-docxtpl").string() + "' --each");
    std::printf("docxtpl + docxcompose, small, %s students, one document: %8.3f s\n", count.c_str(), pyOne);
    std::printf("docxtpl, small, %s students, file per student:          %8.3f s\n", count.c_str(), pyEach);
    return 0;
}

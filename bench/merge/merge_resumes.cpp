// Generates the résumés of many students from one company format and prints how long it took: into one
// document and one file per student, through the whole generator (database, saved query, merge, file),
// beside python-docxtpl rendering the same layout per student and python-docxcompose joining them.
//
//   kyt-bench-merge [--count N] [--dir DIR] [--python PROGRAM] [--no-python]

#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/database.h"
#include "merge/generate_resumes.h"
#include "merge/merge_template.h"

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

std::string escape(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? std::string("&amp;") : c == '<' ? std::string("&lt;") : std::string(1, c);
    return out;
}

std::string run(const std::string& text, bool bold = false)
{
    return std::string("<w:r>") + (bold ? "<w:rPr><w:b/></w:rPr>" : "") + R"(<w:t xml:space="preserve">)" +
           escape(text) + "</w:t></w:r>";
}

// The value place: a merge field for us, a Jinja tag for docxtpl.
std::string place(const std::string& column, bool jinja)
{
    if (jinja)
        return run("{{ " + column + " }}");
    return R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> MERGEFIELD )" +
           column + R"( \* MERGEFORMAT </w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>«)" +
           column + R"(»</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>)";
}

std::string templateBytes(bool jinja)
{
    std::string body = "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr>" + run("CURRICULUM VITAE", true) + "</w:p>";
    body += R"(<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/><w:tblBorders><w:insideH w:val="single" w:sz="4" w:space="0" w:color="auto"/></w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w="3000"/><w:gridCol w:w="6500"/></w:tblGrid>)";
    for (const auto& [label, column] : kRows)
        body += "<w:tr><w:tc><w:p>" + run(label, true) + "</w:p></w:tc><w:tc><w:p>" + place(column, jinja) +
                "</w:p></w:tc></w:tr>";
    body += "</w:tbl><w:p>" + run("I hereby declare that the above information is true. ") + place("Name", jinja) +
            "</w:p><w:p/>";
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

bool fillDatabase(const std::string& path, int count, std::string& json)
{
    db::Failure failure;
    if (!db::Database::create(path, {{"CS", "Computer Science"}}, failure)) {
        std::fprintf(stderr, "cannot make the database: %s\n", failure.description.c_str());
        return false;
    }
    auto database = db::Database::open(path, db::Road::Connector, failure);
    if (!database || !database->begin(failure))
        return false;
    json = "[";
    for (int i = 0; i < count; ++i) {
        const std::string usn = usnOf(i);
        const std::string name = "Student Number " + std::to_string(i);
        std::string sql = "INSERT INTO Personal Values('" + usn + "', 'Computer Science', '" + name +
                          "', 'Parent Name', '05-11-2003', 'Female', 'Kannada, English', '12345', 'Indian', 'O+', "
                          "'Hindu', 'student" + std::to_string(i) + "@example.com', '12 First Main', 'Jayanagar', "
                          "'Bangalore', '', 'Bangalore', 560001, '14 Second Main', 'Mysore Road', 'Mysore', '', "
                          "'Mysore', 570001, '080-2345678', 'chess, music', 'debate', 'University rank', 2,2,2,0,0, "
                          "'A compiler for a small language', 'e', 'Placement database for the college', 'e')";
        if (!database->exec(sql, failure))
            return false;
        for (int level = 3; level <= 10; ++level)
            if (!database->exec("INSERT INTO marks values('" + usn + "', " + std::to_string(level) +
                                    ", 'RV College', " + std::to_string(600 + i % 300) + ", 900, 70, 'FCD', 'Jun 2023', '1')",
                                failure))
                return false;
        json += std::string(i ? "," : "") + "{\"USN\":\"" + usn + "\",\"Name\":\"" + name +
                "\",\"BranchName\":\"Computer Science\",\"dob1\":\"05-11-2003\",\"Gender\":\"Female\",\"Email\":\"student" +
                std::to_string(i) + "@example.com\",\"Phone\":\"080-2345678\",\"Address1\":\"12 First Main\","
                "\"Address2\":\"Jayanagar\",\"City\":\"Bangalore\",\"Pin\":\"560001\",\"Languages\":\"Kannada, English\","
                "\"CET\":\"12345\",\"Percent1To8\":\"70.00\",\"SemsCount\":\"8\",\"finalproject1\":\"Placement database "
                "for the college\",\"prefinalproject1\":\"A compiler for a small language\",\"hobbies\":\"chess, "
                "music\",\"eca\":\"debate\",\"Achievements\":\"University rank\"}";
    }
    json += "]";
    // The aggregate over all eight semesters, as a query run would have left it.
    return database->commit(failure) &&
           database->setSavedQuery("FreePercent",
                                   "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * "
                                   "100,'0.00') AS Percent1To8 From marks Where education_Level >=2 + 1+ 0 And "
                                   "education_Level <= 2 + 8+ 0 GROUP BY USN",
                                   failure);
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

}  // namespace

int main(int argc, char** argv)
{
    int count = 1000;
    std::string dir;
    // Debian's python3-docxtpl and python3-docxcompose belong to the system Python.
    std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    bool withPython = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--count") && i + 1 < argc)
            count = std::atoi(argv[++i]);
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
    fs::create_directories(fs::path(dir) / "each");
    fs::create_directories(fs::path(dir) / "each-docxtpl");
    const std::string database = (fs::path(dir) / "bench.db").string();
    fs::remove(database);
    std::string json;
    if (!fillDatabase(database, count, json)) {
        std::fprintf(stderr, "cannot fill the database\n");
        return 1;
    }
    writeFile((fs::path(dir) / "format.docx").string(), templateBytes(false));
    writeFile((fs::path(dir) / "format-jinja.docx").string(), templateBytes(true));
    writeFile((fs::path(dir) / "students.json").string(), json);

    kyt::Control control;
    control.config.DatabasePath = database;
    kyt::GenerateHooks hooks;
    kyt::GenerateOptions one;
    one.outputFile = (fs::path(dir) / "all.docx").string();
    auto start = Clock::now();
    const auto all = kyt::GenerateResumes(control, dir, "format.docx", hooks, one);
    const double oneDocument = seconds(start);
    kyt::GenerateOptions each;
    each.perStudentFolder = (fs::path(dir) / "each").string();
    start = Clock::now();
    const auto files = kyt::GenerateResumes(control, dir, "format.docx", hooks, each);
    const double perStudent = seconds(start);
    if (all.outcome != kyt::GenerateOutcome::Written || files.outcome != kyt::GenerateOutcome::Written) {
        std::fprintf(stderr, "the merge failed: %s%s\n", all.description.c_str(), files.description.c_str());
        return 1;
    }
    std::printf("students: %d (files in %s)\n", count, dir.c_str());
    std::printf("kyt, one document:        %8.3f s  (%zu résumés, %.0f kB)\n", oneDocument, all.records,
                static_cast<double>(fs::file_size(one.outputFile)) / 1e3);
    std::printf("kyt, one file per student: %7.3f s  (%zu files)\n", perStudent, files.files.size());

    if (!withPython)
        return 0;
    const std::string probe = python + " -c 'import docxtpl, docxcompose' 2>/dev/null";
    if (std::system(probe.c_str()) != 0) {
        std::printf("python-docxtpl / python-docxcompose: not installed, not compared\n");
        return 0;
    }
    const std::string tpl = (fs::path(dir) / "format-jinja.docx").string();
    const std::string data = (fs::path(dir) / "students.json").string();
    const double pyOne = runPython(python, "'" + tpl + "' '" + data + "' '" + (fs::path(dir) / "all-docxtpl.docx").string() + "'");
    const double pyEach = runPython(python, "'" + tpl + "' '" + data + "' '" + (fs::path(dir) / "each-docxtpl").string() + "' --each");
    std::printf("docxtpl + docxcompose, one document:        %8.3f s  (kyt %.0f times faster)\n", pyOne,
                pyOne > 0 ? pyOne / oneDocument : 0);
    std::printf("docxtpl, one file per student:              %8.3f s  (kyt %.0f times faster)\n", pyEach,
                pyEach > 0 ? pyEach / perStudent : 0);
    return 0;
}

#include "resume-form/resume_form.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "word/docx_package.h"

namespace kyt::form {

namespace {

using word::detail::runsXml;
using word::detail::RunStyle;

constexpr int kTextWidth = 11906 - 2 * 1134;  // A4 less the margins, in twentieths of a point

enum class Kind { Value, Digit, Caption, Label, Heading };

struct FormCell {
    Kind kind;
    std::string text;  // the field key (Value, Digit) or the printed text
    int width;         // twentieths of a point; -1 takes what the row leaves
    int digit = 0;     // which digit of the key (Digit)
};

using FormRow = std::vector<FormCell>;

FormCell value(const char* key, int width) { return {Kind::Value, key, width}; }
FormCell caption(const char* text, int width) { return {Kind::Caption, text, width}; }
FormCell label(const char* text, int width) { return {Kind::Label, text, width}; }
FormCell heading(const char* text) { return {Kind::Heading, text, -1}; }

namespace form_layout = word::form_layout;

// What the form prints in table 1 besides the values: captions, labels and headings at their places.
struct Printed {
    int row;
    int cell;
    FormCell cell_;
};

std::vector<Printed> printedCells()
{
    return {
        {1, 1, caption("USN (university seat number)", 1700)},
        {1, 2, caption("Name in full (as in the SSLC marks card)", 3538)},
        {1, 3, caption("Age", 700)},
        {1, 4, caption("Blood group", 900)},
        {1, 5, caption("Category", 1000)},
        {1, 6, caption("Gender", -1)},
        {3, 4, label("\xE2\x86\x90 Date of birth: day, month, year (for example 05  11  2004)", -1)},
        {4, 1, caption("Mother's name", 3200)},
        {4, 2, caption("Father's / guardian's name", 3200)},
        {4, 3, caption("E-mail address", -1)},
        {6, 1, caption("Address for correspondence", 6400)},
        {6, 2, caption("Town / city", -1)},
        {8, 1, label("District, State", 1700)},
        {9, 1, label("Languages known", 1700)},
        {10, 1, label("PIN code", 1700)},
        {10, 2, label("one digit a box", 1100)},
        {10, 10, label("\xE2\x86\x90 Phone (with STD code)", -1)},
        {11, 2, label("\xE2\x86\x90 CET / COMEDK rank", -1)},
        {12, 1, label("Permanent address", 1700)},
        {13, 3, label("\xE2\x86\x90 District, State (permanent address)", -1)},
        {14, 3, label("\xE2\x86\x90 Nationality, Achievements", -1)},
        {15, 2, label("\xE2\x86\x90 Phone  PIN \xE2\x86\x92", 1100)},
        {15, 9, label("(permanent address)", -1)},
        {16, 1, heading("OTHER INFORMATION")},
        {17, 1, label("Career objective", 1700)},
        {17, 2, label("(at most 200 characters)", 1100)},
        {18, 3, label("\xE2\x86\x90 Hobbies, Extra-curricular activities", -1)},
    };
}

// The width of each value cell (-1 takes what the row leaves); a field over several cells gives each its own.
int valueWidth(const std::string& key, int part)
{
    static const std::map<std::string, int> widths = {
        {"usn", 1700}, {"name", 3538}, {"age", 700}, {"blood_group", 900}, {"category", 1000}, {"mother_name", 3200},
        {"father_name", 3200}, {"address", 6400}, {"district", 4700}, {"pin", 450}, {"phone", 2438}, {"cet_rank", 1700},
        {"permanent_address", 4700}, {"permanent_district", 1700}, {"permanent_state", 4700}, {"nationality", 1700},
        {"achievements", 4700}, {"permanent_phone", 1700}, {"permanent_pin", 450}, {"hobbies", 3200},
        {"activities", 3200}};
    if (key == "dob")
        return part == 2 ? 1000 : 700;
    const auto it = widths.find(key);
    return it == widths.end() ? -1 : it->second;
}

// Table 1: the values where the layout puts them, the printed cells around them.
std::vector<FormRow> personalRows()
{
    std::vector<std::vector<std::optional<FormCell>>> places(form_layout::kPersonalRows);
    auto put = [&](int row, int cell, FormCell formCell) {
        auto& cells = places[static_cast<size_t>(row - 1)];
        if (cells.size() < static_cast<size_t>(cell))
            cells.resize(static_cast<size_t>(cell));
        cells[static_cast<size_t>(cell - 1)] = std::move(formCell);
    };
    static const char* dobParts[] = {"dob_day", "dob_month", "dob_year"};
    for (const form_layout::Field& field : form_layout::kPersonal) {
        const std::string key = field.key;
        for (int part = 0; part < field.cells; ++part) {
            const int width = valueWidth(key, part);
            if (key == "dob")
                put(field.row, field.cell + part, value(dobParts[part], width));
            else if (field.cells > 1)
                put(field.row, field.cell + part, {Kind::Digit, key, width, part});
            else
                put(field.row, field.cell, value(field.key, width));
        }
    }
    for (const Printed& printed : printedCells())
        put(printed.row, printed.cell, printed.cell_);
    std::vector<FormRow> rows;
    for (const auto& cells : places) {
        rows.emplace_back();
        for (const auto& cell : cells)
            rows.back().push_back(cell ? *cell : label("", 200));
    }
    return rows;
}

const int kMarksWidths[] = {1500, 2738, 900, 900, 900, 900, 1000, 800};

std::vector<std::string> defaultLevelLabels(Course course)
{
    std::vector<std::string> labels = {"SSLC / 10th standard", "PUC / 12th standard / Diploma"};
    if (course == Course::MCA)
        labels.push_back("Degree (BCA / BSc / BCom)");
    labels.push_back(course == Course::MCA ? "College of the MCA semesters" : "College of the semesters below");
    const int semesters = form_layout::marksLayout(course).semesters;
    for (int s = 1; s <= semesters; ++s)
        labels.push_back("Semester " + std::to_string(s));
    return labels;
}

std::string cellXml(const FormCell& cell, int span, int width, const std::string& text)
{
    std::string xml = R"(<w:tc><w:tcPr><w:tcW w:w=")" + std::to_string(width) + R"(" w:type="dxa"/>)";
    if (span > 1)
        xml += R"(<w:gridSpan w:val=")" + std::to_string(span) + R"("/>)";
    const char* fill = nullptr;
    RunStyle style;
    switch (cell.kind) {
    case Kind::Heading:
        fill = "BFBFBF";
        style.bold = true;
        break;
    case Kind::Caption:
        fill = "D9D9D9";
        style.bold = true;
        style.halfPoints = 16;
        break;
    case Kind::Label:
        fill = "F2F2F2";
        style.italic = true;
        style.halfPoints = 16;
        style.colour = "595959";
        break;
    case Kind::Value:
    case Kind::Digit:
        break;
    }
    if (fill)
        xml += std::string(R"(<w:shd w:val="clear" w:color="auto" w:fill=")") + fill + R"("/>)";
    xml += "</w:tcPr>";
    // Each line of a value is a paragraph of its own; every cell holds at least one paragraph.
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        xml += "<w:p>";
        if (cell.kind == Kind::Digit || cell.kind == Kind::Heading)
            xml += R"(<w:pPr><w:jc w:val="center"/></w:pPr>)";
        if (!line.empty())
            xml += runsXml(line, style);
        xml += "</w:p>";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return xml + "</w:tc>";
}

// Writes a table whose rows have cells of differing widths: the grid is every cell boundary of every
// row, and each cell spans the grid columns between its own boundaries.
std::string tableXml(const std::vector<FormRow>& rows, const std::vector<std::vector<std::string>>& texts)
{
    std::vector<std::vector<int>> widths;
    std::set<int> bounds{0};
    for (const FormRow& row : rows) {
        std::vector<int> w;
        int used = 0;
        for (const FormCell& cell : row) {
            const int width = cell.width > 0 ? cell.width : std::max(200, kTextWidth - used);
            w.push_back(width);
            used += width;
            bounds.insert(used);
        }
        widths.push_back(w);
    }
    const std::vector<int> grid(bounds.begin(), bounds.end());
    std::string xml = R"(<w:tbl><w:tblPr><w:tblW w:w=")" + std::to_string(kTextWidth) +
                      R"(" w:type="dxa"/><w:tblBorders>)"
                      R"(<w:top w:val="single" w:sz="6" w:space="0" w:color="000000"/>)"
                      R"(<w:left w:val="single" w:sz="6" w:space="0" w:color="000000"/>)"
                      R"(<w:bottom w:val="single" w:sz="6" w:space="0" w:color="000000"/>)"
                      R"(<w:right w:val="single" w:sz="6" w:space="0" w:color="000000"/>)"
                      R"(<w:insideH w:val="single" w:sz="4" w:space="0" w:color="000000"/>)"
                      R"(<w:insideV w:val="single" w:sz="4" w:space="0" w:color="000000"/>)"
                      R"(</w:tblBorders><w:tblLayout w:type="fixed"/><w:tblLook w:val="0000"/></w:tblPr><w:tblGrid>)";
    for (size_t g = 1; g < grid.size(); ++g)
        xml += R"(<w:gridCol w:w=")" + std::to_string(grid[g] - grid[g - 1]) + R"("/>)";
    xml += "</w:tblGrid>";
    for (size_t r = 0; r < rows.size(); ++r) {
        xml += R"(<w:tr><w:trPr><w:cantSplit/><w:trHeight w:val="340"/></w:trPr>)";
        int left = 0;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const int right = left + widths[r][c];
            const auto first = std::upper_bound(grid.begin(), grid.end(), left);
            const auto last = std::upper_bound(grid.begin(), grid.end(), right);
            const int span = static_cast<int>(last - first);
            xml += cellXml(rows[r][c], std::max(1, span), widths[r][c], texts[r][c]);
            left = right;
        }
        xml += "</w:tr>";
    }
    return xml + "</w:tbl>";
}

std::string paragraphXml(const std::string& text, const RunStyle& style, bool centre, int spaceAfter = 0)
{
    std::string xml = "<w:p><w:pPr>";
    if (spaceAfter)
        xml += R"(<w:spacing w:before="120" w:after=")" + std::to_string(spaceAfter) + R"("/>)";
    if (centre)
        xml += R"(<w:jc w:val="center"/>)";
    xml += "</w:pPr>" + runsXml(text, style) + "</w:p>";
    return xml;
}

std::string fieldText(const Resume& resume, const FormCell& cell)
{
    auto it = resume.fields.find(cell.text);
    if (it == resume.fields.end())
        return {};
    if (cell.kind == Kind::Digit) {
        const std::string& number = it->second;
        return static_cast<size_t>(cell.digit) < number.size() ? number.substr(static_cast<size_t>(cell.digit), 1)
                                                              : std::string();
    }
    return it->second;
}

// A small deterministic generator, so a serial always gives the same résumé.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
    uint32_t next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    int between(int low, int high) { return low + static_cast<int>(next() % static_cast<uint32_t>(high - low + 1)); }
    template <typename T, size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[next() % N];
    }

private:
    uint64_t state_;
};

std::string twoDecimals(double value)
{
    // Not snprintf: the generated forms must not follow the locale of whoever runs the generator.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

std::string unescape(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::vector<std::string> splitBars(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = text.find('|', start);
        parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return parts;
}

void setDob(Resume& resume, const std::string& dob)
{
    std::string parts[3];
    int k = 0;
    for (char c : dob) {
        if ((c == '-' || c == '/' || c == '.') && k < 2)
            ++k;
        else
            parts[k] += c;
    }
    resume.fields["dob_day"] = parts[0];
    resume.fields["dob_month"] = parts[1];
    resume.fields["dob_year"] = parts[2];
}

Resume emptyResume(Course course)
{
    Resume resume;
    resume.course = course;
    for (const std::string& l : defaultLevelLabels(course)) {
        MarksRow row;
        row.label = l;
        resume.marks.push_back(row);
    }
    return resume;
}

bool readInt(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return true;
}

}  // namespace

const std::vector<std::string>& fieldKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all;
        for (const FormRow& row : personalRows())
            for (const FormCell& cell : row)
                if ((cell.kind == Kind::Value || cell.kind == Kind::Digit) &&
                    std::find(all.begin(), all.end(), cell.text) == all.end())
                    all.push_back(cell.text);
        return all;
    }();
    return keys;
}

namespace {

// The batch year moved on by `cycles`, so that numbering past the last roll number stays distinct.
std::string laterYear(const std::string& year, int cycles)
{
    if (cycles == 0 || year.size() != 2 || !std::isdigit(static_cast<unsigned char>(year[0])) ||
        !std::isdigit(static_cast<unsigned char>(year[1])))
        return year;
    char text[4];
    std::snprintf(text, sizeof text, "%02d", (std::stoi(year) + cycles) % 100);
    return text;
}

}  // namespace

std::string batchUsn(int serial, const std::string& college, const std::string& year)
{
    static const char* branches[] = {"CS", "EC", "ME", "CV", "EE", "IS"};
    const int block = serial / 999;
    char roll[8];
    std::snprintf(roll, sizeof roll, "%03d", serial % 999 + 1);
    return college + laterYear(year, block / 6) + branches[block % 6] + roll;
}

std::string batchMcaUsn(int serial, const std::string& college, const std::string& year)
{
    char roll[8];
    std::snprintf(roll, sizeof roll, "%02d", serial % 99 + 1);
    return college + laterYear(year, serial / 99) + "MCA" + roll;
}

Resume sampleResume(int serial, const std::string& usn, Course course)
{
    static const char* women[] = {"Asha", "Deepa", "Meghana", "Sneha", "Pooja", "Lakshmi", "Divya", "Ananya"};
    static const char* men[] = {"Rahul", "Kiran", "Vinay", "Arjun", "Suresh", "Nikhil", "Prakash", "Rohit"};
    static const char* last[] = {"Rao", "Kumar", "Shetty", "Hegde", "Patil", "Nayak", "Bhat", "Gowda", "Iyer",
                                 "Kulkarni", "Reddy", "Joshi"};
    static const char* cities[] = {"Bengaluru", "Mysuru", "Mangaluru", "Hubballi", "Belagavi", "Tumakuru", "Udupi"};
    static const char* schools[] = {"Sri Sai Vidya Mandir", "Kendriya Vidyalaya No. 2", "St. Joseph's High School",
                                    "National Public School", "Vidya Vardhaka Sangha"};
    static const char* pucs[] = {"Vijaya PU College", "MES PU College", "Alva's PU College", "Government PU College"};
    static const char* hobbies[] = {"Reading, chess", "Cricket and music", "Trekking, photography",
                                    "Painting; playing the violin", "Badminton"};
    static const char* activities[] = {"NSS volunteer", "College cultural committee", "IEEE student branch",
                                       "NCC cadet", "Robotics club"};
    static const char* projects[] = {"Library management system using Java and MySQL",
                                     "Smart irrigation controller with soil-moisture sensors",
                                     "Face recognition attendance system",
                                     "Design of a solar-powered water pump",
                                     "Traffic density estimation from CCTV video",
                                     "Online examination portal with question banks"};

    Random random(static_cast<uint64_t>(serial) + 1);
    Resume resume = emptyResume(course);
    auto& f = resume.fields;
    const bool female = random.next() % 2 == 0;
    const std::string firstName = female ? random.pick(women) : random.pick(men);
    const std::string lastName = random.pick(last);
    const std::string city = random.pick(cities);
    f["usn"] = usn;
    f["name"] = firstName + " " + lastName;
    f["age"] = std::to_string(random.between(20, 23));
    f["blood_group"] = random.next() % 2 ? "B+" : "O+";
    f["category"] = random.next() % 3 ? "GM" : "2A";
    f["gender"] = female ? "Female" : "Male";
    const int birthYear = random.between(2001, 2004);
    char day[4], month[4];
    std::snprintf(day, sizeof day, "%02d", random.between(1, 28));
    std::snprintf(month, sizeof month, "%02d", random.between(1, 12));
    f["dob_day"] = day;
    f["dob_month"] = month;
    f["dob_year"] = std::to_string(birthYear);
    f["mother_name"] = std::string(random.next() % 2 ? "Savitha " : "Geetha ") + lastName;
    f["father_name"] = std::string(random.next() % 2 ? "Ramesh " : "Venkatesh ") + lastName;
    std::string mailName = firstName + "." + lastName + std::to_string(serial % 1000);
    std::transform(mailName.begin(), mailName.end(), mailName.begin(), [](unsigned char c) { return std::tolower(c); });
    f["email"] = mailName + "@example.com";
    f["address"] = "#" + std::to_string(random.between(1, 999)) + ", " + std::to_string(random.between(4, 19)) +
                   "th Cross\n" + city + " Layout";
    f["city"] = city;
    f["district"] = city;
    f["state"] = "Karnataka";
    f["languages"] = random.next() % 2 ? "English, Kannada, Hindi" : "English, Kannada";
    f["pin"] = std::to_string(random.between(560001, 591999));
    f["phone"] = "080-" + std::to_string(random.between(20000000, 29999999));
    f["cet_rank"] = std::to_string(random.between(1, 40000));
    f["permanent_address"] = "Door " + std::to_string(random.between(1, 300)) + ", Main Road";
    f["permanent_city"] = random.pick(cities);
    f["permanent_district"] = f["permanent_city"];
    f["permanent_state"] = "Karnataka";
    f["nationality"] = "Indian";
    f["achievements"] = random.next() % 2 ? "First prize in the state-level quiz" : "";
    f["permanent_phone"] = "9" + std::to_string(random.between(100000000, 999999999));
    f["permanent_pin"] = std::to_string(random.between(560001, 591999));
    f["objective"] = "To work in a challenging environment that uses my skills in " +
                     std::string(course == Course::MCA ? "software development." : "engineering.");
    f["hobbies"] = random.pick(hobbies);
    f["activities"] = random.pick(activities);

    const form_layout::MarksLayout& layout = form_layout::marksLayout(course);
    auto fill = [&](MarksRow& row, int maximum, int lowPercent, int highPercent, const std::string& year) {
        const int obtained =
            std::min(maximum, maximum * random.between(lowPercent, highPercent) / 100 + random.between(0, maximum / 50));
        row.obtained = std::to_string(obtained);
        row.maximum = std::to_string(maximum);
        row.percentage = twoDecimals(100.0 * obtained / maximum);
        const double percent = 100.0 * obtained / maximum;
        row.classObtained = percent >= 70 ? "Distinction" : percent >= 60 ? "First Class" : "Second Class";
        row.passingYear = year;
        row.attempts = "1";
    };
    const int entry = 2018 + random.between(0, 2);
    resume.marks[0].institution = std::string(random.pick(schools)) + ", " + city;
    fill(resume.marks[0], 625, 55, 98, "April " + std::to_string(entry));
    resume.marks[1].institution = random.pick(pucs);
    fill(resume.marks[1], 600, 50, 97, "March " + std::to_string(entry + 2));
    if (course == Course::MCA) {
        resume.marks[2].institution = "Government First Grade College, " + city;
        fill(resume.marks[2], 2400, 50, 90, "June " + std::to_string(entry + 5));
    }
    resume.marks[static_cast<size_t>(layout.institutionRow - 1)].institution =
        course == Course::MCA ? "QP Institute of Technology, Department of MCA" : "QP Institute of Technology";
    const int semesterMax = course == Course::MCA ? 800 : 750;
    const int start = course == Course::MCA ? entry + 5 : entry + 2;
    for (int s = 1; s <= layout.semesters; ++s) {
        MarksRow& row = resume.marks[static_cast<size_t>(layout.institutionRow + s - 1)];
        const int year = start + (s + 1) / 2;
        fill(row, semesterMax, 45, 92, (s % 2 ? "January " : "July ") + std::to_string(year));
    }
    resume.preFinalProject = random.pick(projects);
    resume.finalProject = std::string(random.pick(projects)) + ": a working prototype and report";
    return resume;
}

const char* faultHelp()
{
    return "  bad-usn[=TEXT]          a USN that fails validation (default: region X)\n"
           "  blank-name              an empty name\n"
           "  bad-dob[=D-M-Y]         a date of birth that is refused (default 0-13-2004: no day)\n"
           "  obtained-over-max[=I]   marks row I has more marks than its maximum (default: first semester)\n"
           "  missing-max[=I]         marks row I has no maximum marks (default: first semester)\n"
           "  blank-pass-year[=I]     marks row I has no year of passing (default 1)\n"
           "  empty-obtained[=I]      marks row I has no marks obtained, so the marks end there (default 1)\n"
           "  marks-stop-after=N      semesters after N are left blank\n"
           "  percent=TEXT            the percentage cell of marks row 1 (85%, 0.85 or empty)\n"
           "  empty-institution[=I]   marks row I leaves its institution blank, to inherit (default 2)\n"
           "  bad-email[=TEXT]        an invalid e-mail address\n"
           "  long-projects=N         both project texts N characters long\n"
           "  missing-table           no academic-performance table\n"
           "  wide-row[=R]            row R of the personal table has 22 cells (default 2)\n"
           "Marks rows I are counted from 1 below the caption row of the academic-performance table.\n";
}

bool applyFault(Resume& resume, const std::string& fault, std::string& error)
{
    const size_t eq = fault.find('=');
    const std::string name = fault.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string arg = hasValue ? fault.substr(eq + 1) : std::string();
    const form_layout::MarksLayout& layout = form_layout::marksLayout(resume.course);
    const int firstSemester = layout.institutionRow + 1;

    auto rowArg = [&](int fallback, MarksRow*& row) {
        int i = fallback;
        if (hasValue && !readInt(arg, i)) {
            error = "fault " + name + ": '" + arg + "' is not a marks row number";
            return false;
        }
        if (i < 1 || static_cast<size_t>(i) > resume.marks.size()) {
            error = "fault " + name + ": there is no marks row " + std::to_string(i);
            return false;
        }
        row = &resume.marks[static_cast<size_t>(i - 1)];
        return true;
    };
    MarksRow* row = nullptr;

    if (name == "bad-usn") {
        std::string& usn = resume.fields["usn"];
        if (hasValue)
            usn = arg;
        else if (!usn.empty())
            usn[0] = 'X';
        else
            usn = "X";
    } else if (name == "blank-name") {
        resume.fields["name"].clear();
    } else if (name == "bad-dob") {
        setDob(resume, hasValue ? arg : "0-13-2004");
    } else if (name == "obtained-over-max") {
        if (!rowArg(firstSemester, row))
            return false;
        int maximum = 100;
        readInt(row->maximum, maximum);
        row->maximum = std::to_string(maximum);
        row->obtained = std::to_string(maximum + 7);
    } else if (name == "missing-max") {
        if (!rowArg(firstSemester, row))
            return false;
        if (row->obtained.empty())
            row->obtained = "50";
        row->maximum.clear();
    } else if (name == "blank-pass-year") {
        if (!rowArg(1, row))
            return false;
        row->passingYear.clear();
    } else if (name == "empty-obtained") {
        if (!rowArg(1, row))
            return false;
        row->obtained.clear();
    } else if (name == "marks-stop-after") {
        int n = 0;
        if (!readInt(arg, n) || n > layout.semesters) {
            error = "fault marks-stop-after needs a semester number from 0 to " + std::to_string(layout.semesters);
            return false;
        }
        for (int s = n + 1; s <= layout.semesters; ++s) {
            MarksRow& sem = resume.marks[static_cast<size_t>(layout.institutionRow + s - 1)];
            const std::string label = sem.label;
            sem = MarksRow{};
            sem.label = label;
        }
    } else if (name == "percent") {
        if (resume.marks.empty()) {
            error = "fault percent: there is no marks row";
            return false;
        }
        resume.marks[0].percentage = arg;
    } else if (name == "empty-institution") {
        if (!rowArg(2, row))
            return false;
        row->institution.clear();
    } else if (name == "bad-email") {
        resume.fields["email"] = hasValue ? arg : "student.at.example.com";
    } else if (name == "long-projects") {
        int n = 0;
        if (!readInt(arg, n) || n > 100000) {
            error = "fault long-projects needs a number of characters";
            return false;
        }
        auto make = [n](const std::string& head) {
            std::string text = head + " ";
            while (static_cast<int>(text.size()) < n)
                text += "and more detail ";
            text.resize(static_cast<size_t>(n));
            return text;
        };
        resume.preFinalProject = make("Pre-final project:");
        resume.finalProject = make("Final project:");
    } else if (name == "missing-table") {
        resume.omitMarksTable = true;
    } else if (name == "wide-row") {
        int r = 2;
        if (hasValue && (!readInt(arg, r) || r < 1 || r > form_layout::kPersonalRows)) {
            error = "fault wide-row needs a row of the personal table from 1 to " + std::to_string(form_layout::kPersonalRows);
            return false;
        }
        resume.wideRow = r;
    } else {
        error = "unknown fault '" + name + "'";
        return false;
    }
    return true;
}

const char* dataHelp()
{
    return "A data file holds one or more résumés as key=value lines; a line '---' starts the next résumé,\n"
           "'#' starts a comment line, and \\n in a value starts a new paragraph in the cell.\n"
           "  course=BE|MCA          (default: MCA when the USN's characters 6-8 are MCA)\n"
           "  usn= name= age= blood_group= category= gender= dob=DD-MM-YYYY\n"
           "  mother_name= father_name= email= address= city= district= state= languages=\n"
           "  pin=NNNNNN phone= cet_rank= permanent_address= permanent_city= permanent_district=\n"
           "  permanent_state= nationality= achievements= permanent_phone= permanent_pin=NNNNNN\n"
           "  objective= hobbies= activities=\n"
           "  marks.sslc= marks.puc= marks.degree= (MCA) marks.sem1= ... marks.sem8= (MCA: sem6)\n"
           "      institution|obtained|max|percentage|class|year of passing|attempts\n"
           "  marks.college=institution   (the college of the semesters)\n"
           "  project.prefinal= project.final=\n"
           "Fields left out stay blank.\n";
}

bool parseResumes(const std::string& text, std::vector<Resume>& out, std::string& error)
{
    std::vector<std::vector<std::pair<std::string, std::string>>> records(1);
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "---") {
            records.emplace_back();
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            error = "line " + std::to_string(lineNumber) + ": expected key=value";
            return false;
        }
        records.back().emplace_back(line.substr(0, eq), unescape(line.substr(eq + 1)));
    }
    const auto& keys = fieldKeys();
    for (const auto& record : records) {
        if (record.empty())
            continue;
        Course course = Course::BE;
        for (const auto& [key, val] : record) {
            if (key == "usn" && val.size() >= 8) {
                std::string code = val.substr(5, 3);
                std::transform(code.begin(), code.end(), code.begin(), [](unsigned char c) { return std::toupper(c); });
                if (code == "MCA")
                    course = Course::MCA;
            }
        }
        for (const auto& [key, val] : record) {
            if (key == "course") {
                if (val == "BE")
                    course = Course::BE;
                else if (val == "MCA")
                    course = Course::MCA;
                else {
                    error = "course must be BE or MCA, not '" + val + "'";
                    return false;
                }
            }
        }
        Resume resume = emptyResume(course);
        const form_layout::MarksLayout& layout = form_layout::marksLayout(course);
        for (const auto& [key, val] : record) {
            if (key == "course") {
                continue;
            } else if (key == "dob") {
                setDob(resume, val);
            } else if (key == "project.prefinal") {
                resume.preFinalProject = val;
            } else if (key == "project.final") {
                resume.finalProject = val;
            } else if (key.rfind("marks.", 0) == 0) {
                const std::string level = key.substr(6);
                int index = -1;
                if (level == "sslc")
                    index = 0;
                else if (level == "puc")
                    index = 1;
                else if (level == "degree" && course == Course::MCA)
                    index = 2;
                else if (level == "college")
                    index = layout.institutionRow - 1;
                else if (level.rfind("sem", 0) == 0) {
                    int s = 0;
                    if (readInt(level.substr(3), s) && s >= 1 && s <= layout.semesters)
                        index = layout.institutionRow + s - 1;
                }
                if (index < 0) {
                    error = "unknown marks row '" + key + "' for this course";
                    return false;
                }
                const auto parts = splitBars(val);
                MarksRow& row = resume.marks[static_cast<size_t>(index)];
                std::string* slots[] = {&row.institution, &row.obtained,      &row.maximum,     &row.percentage,
                                        &row.classObtained, &row.passingYear, &row.attempts};
                for (size_t k = 0; k < parts.size() && k < 7; ++k)
                    *slots[k] = parts[k];
            } else if (std::find(keys.begin(), keys.end(), key) != keys.end()) {
                resume.fields[key] = val;
            } else {
                error = "unknown key '" + key + "'";
                return false;
            }
        }
        out.push_back(std::move(resume));
    }
    if (out.empty()) {
        error = "the data holds no résumé";
        return false;
    }
    return true;
}

namespace {

// One table of the form: the shape of each cell and the text in it.
struct FormTable {
    std::vector<FormRow> rows;
    std::vector<std::vector<std::string>> texts;
};

FormTable personalTable(const Resume& resume, bool blank)
{
    FormTable table{personalRows(), {}};
    if (resume.wideRow > 0 && static_cast<size_t>(resume.wideRow) <= table.rows.size()) {
        FormRow& wide = table.rows[static_cast<size_t>(resume.wideRow - 1)];
        if (!wide.empty() && wide.back().width < 0)
            wide.back().width = 400;
        while (wide.size() < 22)
            wide.push_back(label("", 200));
    }
    for (const FormRow& row : table.rows) {
        std::vector<std::string> line;
        for (const FormCell& cell : row) {
            if (cell.kind == Kind::Value || cell.kind == Kind::Digit)
                line.push_back(blank ? std::string() : fieldText(resume, cell));
            else
                line.push_back(cell.text);
        }
        table.texts.push_back(line);
    }
    return table;
}

FormTable marksTable(const Resume& resume, bool blank)
{
    const form_layout::MarksLayout& layout = form_layout::marksLayout(resume.course);
    std::vector<FormRow> marksRows;
    std::vector<std::vector<std::string>> marksTexts;
    marksRows.push_back({caption("Examination", kMarksWidths[0]), caption("Institution", kMarksWidths[1]),
                         caption("Marks obtained", kMarksWidths[2]), caption("Max. marks", kMarksWidths[3]),
                         caption("Percentage", kMarksWidths[4]), caption("Class", kMarksWidths[5]),
                         caption("Month and year of passing", kMarksWidths[6]), caption("Attempts", -1)});
    marksTexts.push_back({});
    for (const FormCell& c : marksRows.back())
        marksTexts.back().push_back(c.text);
    const std::vector<std::string> labels = defaultLevelLabels(resume.course);
    for (int i = 1; i <= layout.lastMarksRow; ++i) {
        const MarksRow empty;
        const MarksRow& row = static_cast<size_t>(i) <= resume.marks.size() ? resume.marks[static_cast<size_t>(i - 1)] : empty;
        const std::string rowLabel = !row.label.empty() ? row.label : labels[static_cast<size_t>(i - 1)];
        if (i == layout.institutionRow) {
            marksRows.push_back({label("", kMarksWidths[0]), value("", kMarksWidths[1]),
                                 label("\xE2\x86\x90 the college of the semesters below; leave their institution blank", -1)});
            marksRows.back()[0].kind = Kind::Caption;
            marksTexts.push_back({rowLabel, blank ? "" : row.institution, marksRows.back()[2].text});
            continue;
        }
        FormRow marksRow{caption("", kMarksWidths[0])};
        for (int c = 1; c < 8; ++c)
            marksRow.push_back(value("", c == 7 ? -1 : kMarksWidths[c]));
        marksRows.push_back(marksRow);
        if (blank)
            marksTexts.push_back({rowLabel, "", "", "", "", "", "", ""});
        else
            marksTexts.push_back({rowLabel, row.institution, row.obtained, row.maximum, row.percentage,
                                  row.classObtained, row.passingYear, row.attempts});
    }
    const std::string preFinal = blank ? std::string() : resume.preFinalProject;
    const std::string final = blank ? std::string() : resume.finalProject;
    if (resume.course == Course::MCA) {
        // Rows 12 and 13: captions, then the projects in cells 5 and 6.
        FormRow captions{caption("", 1500), caption("", 400), caption("", 400), caption("", 400),
                         caption("Pre-final year project: title and a short description", 3469),
                         caption("Final year project: title and a short description", -1)};
        marksRows.push_back(captions);
        marksTexts.push_back({"PROJECTS", "", "", "", captions[4].text, captions[5].text});
        marksRows.push_back({caption("", 1500), label("", 400), label("", 400), label("", 400), value("", 3469),
                             value("", -1)});
        marksTexts.push_back({"Titles \xE2\x86\x92", "", "", "", preFinal, final});
    } else {
        marksRows.push_back({heading("PROJECTS")});
        marksTexts.push_back({"PROJECTS"});
        marksRows.push_back({caption("Pre-final year project: title and a short description", 4819),
                             caption("Final year project: title and a short description", -1)});
        marksTexts.push_back({marksRows.back()[0].text, marksRows.back()[1].text});
        marksRows.push_back({value("", 4819), value("", -1)});
        marksTexts.push_back({preFinal, final});
    }
    return {marksRows, marksTexts};
}

std::string formBodyXml(const FormTable& personal, const FormTable* marks)
{
    std::string body;
    body += paragraphXml("CURRICULUM VITAE", RunStyle{true, false, 32}, true, 60);
    body += paragraphXml("Fill in the white boxes only. Do not add, remove, split or merge rows or cells: the placement "
                         "office reads this form by machine.",
                         RunStyle{false, true, 16, "595959"}, true, 120);
    body += paragraphXml("PERSONAL INFORMATION", RunStyle{true, false, 22}, false, 60);
    body += tableXml(personal.rows, personal.texts);
    if (!marks)
        return body;
    body += paragraphXml("ACADEMIC PERFORMANCE", RunStyle{true, false, 22}, false, 60);
    body += tableXml(marks->rows, marks->texts);
    body += paragraphXml("I declare that the information given above is true.", RunStyle{false, true, 18}, false, 240);
    body += paragraphXml("Place:\t\t\t\t\t\tSignature of the student:", RunStyle{}, false, 240);
    return body;
}

std::string formBodyXml(const Resume& resume, bool blank)
{
    const FormTable marks = marksTable(resume, blank);
    return formBodyXml(personalTable(resume, blank), resume.omitMarksTable ? nullptr : &marks);
}

// The blank form's cells given the texts' shape: rows and cells cut or added (added cells are narrow
// value cells; a row needs one cell at least to be written).
FormTable fitted(FormTable table, const std::vector<std::vector<std::string>>& texts)
{
    table.texts = texts;
    table.rows.resize(texts.size());
    for (size_t r = 0; r < texts.size(); ++r) {
        if (table.texts[r].empty())
            table.texts[r].push_back("");
        FormRow& row = table.rows[r];
        if (table.texts[r].size() > row.size() && !row.empty() && row.back().width < 0)
            row.back().width = 400;
        row.resize(table.texts[r].size(), value("", 200));
    }
    return table;
}

}  // namespace

FormTables formTables(const Resume& resume)
{
    FormTables tables{personalTable(resume, false).texts, {}};
    if (!resume.omitMarksTable)
        tables.marks = marksTable(resume, false).texts;
    return tables;
}

bool writeTables(const FormTables& tables, Course course, const std::string& path, std::string& error)
{
    const Resume blank = emptyResume(course);
    const FormTable personal = fitted(personalTable(blank, true), tables.personal);
    const FormTable marks = fitted(marksTable(blank, true), tables.marks);
    const bool hasUsn = tables.personal.size() >= 2 && !tables.personal[1].empty();
    const std::string title = "Résumé " + (hasUsn ? tables.personal[1][0] : std::string());
    return word::detail::writePackage(path, formBodyXml(personal, tables.marks.empty() ? nullptr : &marks), title,
                                      false, error);
}

bool writeResume(const Resume& resume, const std::string& path, std::string& error)
{
    auto it = resume.fields.find("usn");
    const std::string title = "Résumé " + (it == resume.fields.end() ? std::string() : it->second);
    return word::detail::writePackage(path, formBodyXml(resume, false), title, false, error);
}

bool writeBlankForm(Course course, const std::string& path, std::string& error)
{
    Resume resume = emptyResume(course);
    return word::detail::writePackage(path, formBodyXml(resume, true),
                                course == Course::MCA ? "Résumé form (MCA)" : "Résumé form (BE)", false, error);
}

}  // namespace kyt::form

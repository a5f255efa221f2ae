#include "drives/statistics.h"

#include <algorithm>
#include <cctype>

namespace kyt::drives {

namespace {

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void figure(BranchFigures& f, std::vector<double>& aggregates)
{
    f.withAggregate = static_cast<int>(aggregates.size());
    if (aggregates.empty())
        return;
    std::sort(aggregates.begin(), aggregates.end());
    double sum = 0;
    for (double a : aggregates)
        sum += a;
    const size_t n = aggregates.size();
    f.mean = sum / static_cast<double>(n);
    f.median = n % 2 ? aggregates[n / 2] : (aggregates[n / 2 - 1] + aggregates[n / 2]) / 2;
    f.lowest = aggregates.front();
    f.highest = aggregates.back();
    for (double a : aggregates) {
        const std::string klass = ClassOf(a);
        (klass == "FCD" ? f.fcd : klass == "First" ? f.first : f.second) += 1;
        for (size_t c = 0; c < kCutOffs.size(); ++c)
            f.clearing[c] += a >= kCutOffs[c] ? 1 : 0;
        size_t band = 0;
        while (band + 1 < kBandStarts.size() && a >= kBandStarts[band + 1])
            ++band;
        ++f.bands[band];
    }
}

// A figure of the aggregate, or empty when no student of the row has one.
std::string aggregateText(const BranchFigures& f, double value)
{
    return f.withAggregate ? TwoDecimals(value) : std::string();
}

std::string rate(int part, int whole)
{
    return whole ? TwoDecimals(100.0 * part / whole) : std::string();
}

}  // namespace

std::string BandLabel(size_t band)
{
    if (band == 0)
        return "below " + std::to_string(static_cast<int>(kBandStarts[1]));
    const int from = static_cast<int>(kBandStarts[band]);
    const int to = band + 1 < kBandStarts.size() ? static_cast<int>(kBandStarts[band + 1]) : 100;
    return std::to_string(from) + "-" + std::to_string(to);
}

const char* ClassOf(double aggregate)
{
    return aggregate >= 70 ? "FCD" : aggregate >= 60 ? "First" : "Second";
}

Statistics ComputeStatistics(const std::vector<StudentFigure>& students, const std::vector<std::string>& branchOrder)
{
    std::vector<std::string> order;
    for (const std::string& code : branchOrder)
        order.push_back(upper(code));
    std::map<std::string, std::vector<const StudentFigure*>> byBranch;
    for (const StudentFigure& s : students) {
        const std::string branch = upper(s.branch);
        if (!byBranch.count(branch) && std::find(order.begin(), order.end(), branch) == order.end())
            order.push_back(branch);
        byBranch[branch].push_back(&s);
    }

    Statistics statistics;
    std::vector<double> all;
    statistics.total.branch = "All";
    for (const std::string& branch : order) {
        auto found = byBranch.find(branch);
        if (found == byBranch.end())
            continue;
        BranchFigures f;
        f.branch = branch;
        std::vector<double> aggregates;
        for (const StudentFigure* s : found->second) {
            ++f.students;
            f.offers += s->offer ? 1 : 0;
            f.joined += s->joined ? 1 : 0;
            if (s->aggregate) {
                aggregates.push_back(*s->aggregate);
                all.push_back(*s->aggregate);
            }
        }
        figure(f, aggregates);
        statistics.total.students += f.students;
        statistics.total.offers += f.offers;
        statistics.total.joined += f.joined;
        statistics.branches.push_back(std::move(f));
    }
    figure(statistics.total, all);
    statistics.outcomes = statistics.total.offers > 0 || statistics.total.joined > 0;
    return statistics;
}

std::vector<StudentFigure> FiguresOfResult(const query::ResultTable& result, const std::string& percentColumn,
                                           const std::vector<std::string>& branchCodes,
                                           const std::map<std::string, Placement>& placements)
{
    std::vector<StudentFigure> figures;
    for (const ShortlistEntry& e : ShortlistOf(result, percentColumn, branchCodes)) {
        StudentFigure f{e.usn, e.branch, e.aggregate};
        if (auto found = placements.find(upper(e.usn)); found != placements.end()) {
            f.offer = found->second.offer;
            f.joined = found->second.joined;
        }
        figures.push_back(std::move(f));
    }
    return figures;
}

std::vector<StudentFigure> FiguresOfShortlist(const std::vector<ShortlistEntry>& shortlist)
{
    std::vector<StudentFigure> figures;
    for (const ShortlistEntry& e : shortlist)
        figures.push_back({e.usn, e.branch, e.aggregate, HadOffer(e.outcome), e.outcome == Outcome::Joined});
    return figures;
}

query::ResultTable SummaryTable(const Statistics& statistics)
{
    query::ResultTable table;
    table.fields = {"Branch", "Students", "Mean", "Median", "Lowest", "Highest", "Second", "First", "FCD"};
    for (double cutOff : kCutOffs)
        table.fields.push_back(std::to_string(static_cast<int>(cutOff)) + " % or more");
    auto row = [](const BranchFigures& f) {
        std::vector<std::string> r = {f.branch,
                                      std::to_string(f.students),
                                      aggregateText(f, f.mean),
                                      aggregateText(f, f.median),
                                      aggregateText(f, f.lowest),
                                      aggregateText(f, f.highest),
                                      std::to_string(f.second),
                                      std::to_string(f.first),
                                      std::to_string(f.fcd)};
        for (int n : f.clearing)
            r.push_back(std::to_string(n));
        return r;
    };
    for (const BranchFigures& f : statistics.branches)
        table.rows.push_back(row(f));
    table.rows.push_back(row(statistics.total));
    return table;
}

query::ResultTable DistributionTable(const Statistics& statistics)
{
    query::ResultTable table;
    table.fields = {"Branch"};
    for (size_t band = 0; band < kBandStarts.size(); ++band)
        table.fields.push_back(BandLabel(band) + " %");
    auto row = [](const BranchFigures& f) {
        std::vector<std::string> r = {f.branch};
        for (int n : f.bands)
            r.push_back(std::to_string(n));
        return r;
    };
    for (const BranchFigures& f : statistics.branches)
        table.rows.push_back(row(f));
    table.rows.push_back(row(statistics.total));
    return table;
}

query::ResultTable PlacementTable(const Statistics& statistics)
{
    query::ResultTable table;
    table.fields = {"Branch", "Students", "Offers", "Joined", "Offer rate %", "Placement rate %"};
    auto row = [](const BranchFigures& f) {
        return std::vector<std::string>{f.branch,
                                        std::to_string(f.students),
                                        std::to_string(f.offers),
                                        std::to_string(f.joined),
                                        rate(f.offers, f.students),
                                        rate(f.joined, f.students)};
    };
    for (const BranchFigures& f : statistics.branches)
        table.rows.push_back(row(f));
    table.rows.push_back(row(statistics.total));
    return table;
}

}  // namespace kyt::drives

#include "drives/ui/charts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QPainter>
#include <QPdfWriter>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>
#include <memory>

#include "shell/atomic_file.h"

namespace kyt::drives {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QStringList branchCategories(const Statistics& statistics)
{
    QStringList categories;
    for (const BranchFigures& f : statistics.branches)
        categories << q(f.branch);
    return categories;
}

// Axes of whole numbers of students, from 0 to a little above the highest bar.
void addAxes(QChart* chart, QAbstractBarSeries* series, const QStringList& categories, const QString& categoryTitle,
             int highest)
{
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    x->setTitleText(categoryTitle);
    auto* y = new QValueAxis;
    y->setRange(0, std::max(1, highest + std::max(1, highest / 10)));
    y->setLabelFormat("%d");
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(std::max(1, (highest + 9) / 10));
    y->setTitleText("Students");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

QChart* distributionChart(const Statistics& statistics)
{
    auto* chart = new QChart;
    auto* series = new QBarSeries;
    int highest = 0;
    for (const BranchFigures& f : statistics.branches) {
        auto* set = new QBarSet(q(f.branch));
        for (int n : f.bands) {
            *set << n;
            highest = std::max(highest, n);
        }
        series->append(set);
    }
    chart->addSeries(series);
    QStringList bands;
    for (size_t band = 0; band < kBandStarts.size(); ++band)
        bands << q(BandLabel(band));
    addAxes(chart, series, bands, "Aggregate %", highest);
    return chart;
}

QChart* classesChart(const Statistics& statistics)
{
    auto* chart = new QChart;
    auto* series = new QStackedBarSeries;
    auto* second = new QBarSet("Second (below 60 %)");
    auto* first = new QBarSet("First (60 to 70 %)");
    auto* fcd = new QBarSet("FCD (70 % or more)");
    int highest = 0;
    for (const BranchFigures& f : statistics.branches) {
        *second << f.second;
        *first << f.first;
        *fcd << f.fcd;
        highest = std::max(highest, f.second + f.first + f.fcd);
    }
    series->append(second);
    series->append(first);
    series->append(fcd);
    chart->addSeries(series);
    addAxes(chart, series, branchCategories(statistics), "Branch", highest);
    return chart;
}

QChart* placementsChart(const Statistics& statistics)
{
    auto* chart = new QChart;
    auto* series = new QBarSeries;
    auto* students = new QBarSet("Students");
    auto* offers = new QBarSet("Offers");
    auto* joined = new QBarSet("Joined");
    int highest = 0;
    for (const BranchFigures& f : statistics.branches) {
        *students << f.students;
        *offers << f.offers;
        *joined << f.joined;
        highest = std::max(highest, f.students);
    }
    series->append(students);
    series->append(offers);
    series->append(joined);
    chart->addSeries(series);
    addAxes(chart, series, branchCategories(statistics), "Branch", highest);
    return chart;
}

}  // namespace

const char* ChartName(ChartKind kind)
{
    switch (kind) {
    case ChartKind::Distribution:
        return "distribution";
    case ChartKind::Classes:
        return "classes";
    case ChartKind::Placements:
        return "placements";
    }
    return "distribution";
}

std::optional<ChartKind> ParseChartKind(const std::string& name)
{
    for (ChartKind kind : kCharts)
        if (name == ChartName(kind))
            return kind;
    return std::nullopt;
}

QString ChartTitle(ChartKind kind)
{
    switch (kind) {
    case ChartKind::Distribution:
        return "Aggregate distribution by branch";
    case ChartKind::Classes:
        return "Class mix by branch";
    case ChartKind::Placements:
        return "Placements by branch";
    }
    return {};
}

QChart* MakeChart(ChartKind kind, const Statistics& statistics)
{
    QChart* chart = kind == ChartKind::Distribution ? distributionChart(statistics)
                    : kind == ChartKind::Classes    ? classesChart(statistics)
                                                    : placementsChart(statistics);
    chart->setTitle(ChartTitle(kind) + (statistics.title.empty() ? QString() : " - " + q(statistics.title)));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

namespace {

// A view of the chart at the saved size, laid out: a view that was never shown has not placed its chart
// yet, and grabbing it once does.
std::unique_ptr<QChartView> laidOutView(ChartKind kind, const Statistics& statistics, QPixmap* picture = nullptr)
{
    auto view = std::make_unique<QChartView>(MakeChart(kind, statistics));
    view->setRenderHint(QPainter::Antialiasing);
    view->resize(kChartWidth, kChartHeight);
    const QPixmap grabbed = view->grab();
    if (picture)
        *picture = grabbed;
    return view;
}

}  // namespace

void RenderChart(ChartKind kind, const Statistics& statistics, QPainter& painter, const QRectF& target)
{
    laidOutView(kind, statistics)->render(&painter, target);
}

bool SaveChart(ChartKind kind, const Statistics& statistics, const std::string& path, std::string& error)
{
    const QString suffix = QFileInfo(q(path)).suffix().toLower();
    if (suffix != "png" && suffix != "pdf") {
        error = "A chart is saved as .png or .pdf; " + path + " names neither.";
        return false;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (suffix == "png") {
        QPixmap picture;
        laidOutView(kind, statistics, &picture);
        if (picture.isNull() || !picture.toImage().save(&buffer, "PNG")) {
            error = "The chart could not be drawn.";
            return false;
        }
    } else {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(kChartWidth, kChartHeight), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(ChartTitle(kind) + (statistics.title.empty() ? QString() : " - " + q(statistics.title)));
        pdf.setCreator("Kyt");
        QPainter painter;
        if (!painter.begin(&pdf)) {
            error = "The chart could not be drawn.";
            return false;
        }
        RenderChart(kind, statistics, painter, QRectF(0, 0, kChartWidth, kChartHeight));
        painter.end();
    }
    buffer.close();
    return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), error);
}

}  // namespace kyt::drives

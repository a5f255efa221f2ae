#include "drives/ui/report.h"

#include <QBuffer>
#include <QDate>
#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <memory>

#include "drives/ui/charts.h"
#include "shell/atomic_file.h"

namespace kyt::drives {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Lays text, tables and charts down A4 pages, top to bottom, starting a page when one is full. The page
// is 72 units to the inch (points), so sizes read as a typesetter's.
class Pages {
public:
    explicit Pages(QPdfWriter& pdf) : pdf_(pdf)
    {
        painter_.begin(&pdf_);
        width_ = pdf_.width();
        height_ = pdf_.height();
    }
    bool ok() const { return painter_.isActive(); }
    void end() { painter_.end(); }

    void heading(const QString& text, int size)
    {
        QFont font = painter_.font();
        font.setPointSize(size);
        font.setBold(true);
        paragraph(text, font);
    }
    void text(const QString& text, int size = 10)
    {
        QFont font = painter_.font();
        font.setPointSize(size);
        font.setBold(false);
        paragraph(text, font);
    }
    void space(int points) { y_ += points; }

    // Columns as wide as their widest cell and the longest word of their heading, narrowed to the page
    // when they would not fit; the heading row bold, wrapped, and repeated at the top of each new page.
    void table(const query::ResultTable& table)
    {
        QFont font = painter_.font();
        font.setPointSize(8);
        font.setBold(false);
        QFont bold = font;
        bold.setBold(true);
        const QFontMetrics metrics(bold, &pdf_);
        std::vector<int> widths;
        for (size_t c = 0; c < table.fields.size(); ++c) {
            int w = 0;
            for (const QString& word : q(table.fields[c]).split(' '))
                w = std::max(w, metrics.horizontalAdvance(word));
            for (const auto& row : table.rows)
                w = std::max(w, metrics.horizontalAdvance(q(c < row.size() ? row[c] : std::string())));
            widths.push_back(w + 8);
        }
        int total = 0;
        for (int w : widths)
            total += w;
        if (total > width_)
            for (int& w : widths)
                w = w * width_ / total;
        const int rowHeight = metrics.height() + 4;
        int headingHeight = rowHeight;
        for (size_t c = 0; c < widths.size(); ++c)
            headingHeight = std::max(headingHeight, metrics.boundingRect(QRect(0, 0, widths[c] - 8, 1000), Qt::TextWordWrap,
                                                                         q(table.fields[c]))
                                                            .height() + 4);
        auto drawRow = [&](const std::vector<std::string>& cells, const QFont& f, int height) {
            painter_.setFont(f);
            int x = 0;
            for (size_t c = 0; c < widths.size(); ++c) {
                const QRect cell(x, y_, widths[c], height);
                painter_.drawRect(cell);
                painter_.drawText(cell.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap,
                                  q(c < cells.size() ? cells[c] : std::string()));
                x += widths[c];
            }
            y_ += height;
        };
        room(headingHeight + rowHeight);
        drawRow(table.fields, bold, headingHeight);
        for (const auto& row : table.rows) {
            if (y_ + rowHeight > height_) {
                newPage();
                drawRow(table.fields, bold, headingHeight);
            }
            drawRow(row, font, rowHeight);
        }
        y_ += rowHeight / 2;
    }

    void chart(ChartKind kind, const Statistics& statistics)
    {
        const int w = width_;
        const int h = w * kChartHeight / kChartWidth;
        room(h);
        RenderChart(kind, statistics, painter_, QRectF(0, y_, w, h));
        y_ += h + 12;
    }

private:
    void paragraph(const QString& text, const QFont& font)
    {
        painter_.setFont(font);
        const QRect bounds = painter_.boundingRect(QRect(0, 0, width_, height_), Qt::TextWordWrap, text);
        room(bounds.height());
        painter_.drawText(QRect(0, y_, width_, bounds.height()), Qt::TextWordWrap, text);
        y_ += bounds.height() + 4;
    }
    // A new page unless `needed` points still fit on this one.
    void room(int needed)
    {
        if (y_ > 0 && y_ + needed > height_)
            newPage();
    }
    void newPage()
    {
        pdf_.newPage();
        y_ = 0;
    }

    QPdfWriter& pdf_;
    QPainter painter_;
    int width_ = 0, height_ = 0, y_ = 0;
};

}  // namespace

bool WriteReport(const Statistics& statistics, const std::vector<ShortlistEntry>* shortlist, const std::string& path,
                 std::string& error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(q(statistics.title));
        pdf.setCreator("Kyt");
        Pages pages(pdf);
        if (!pages.ok()) {
            error = "The report could not be drawn.";
            return false;
        }
        pages.heading(q(statistics.title.empty() ? std::string("Students") : statistics.title), 18);
        if (!statistics.subtitle.empty())
            pages.text(q(statistics.subtitle));
        pages.text("Report made by Kyt on " + QDate::currentDate().toString(Qt::ISODate) + ": " +
                       QString::number(statistics.total.students) + " students.",
                   9);
        pages.space(8);
        pages.heading("Aggregates and classes by branch", 12);
        pages.table(SummaryTable(statistics));
        pages.heading("Students by band of the aggregate", 12);
        pages.table(DistributionTable(statistics));
        if (statistics.outcomes || shortlist) {
            pages.heading("Offers and placements by branch", 12);
            pages.table(PlacementTable(statistics));
        }
        for (ChartKind kind : kCharts)
            if (kind != ChartKind::Placements || statistics.outcomes || shortlist)
                pages.chart(kind, statistics);
        if (shortlist) {
            pages.heading("Shortlist", 12);
            pages.table(ShortlistTable(*shortlist));
        }
        pages.end();
    }
    buffer.close();
    return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), error);
}

}  // namespace kyt::drives

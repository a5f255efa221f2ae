#pragma once
// The charts of a selection's statistics, where an officer would rather look than read: how the
// aggregates spread in each branch, the class mix of each branch, and placements by branch. Each is
// saved alone as a PNG picture or a one-page PDF, and all of them go into the PDF report.

#include <QString>
#include <optional>
#include <string>

#include "drives/statistics.h"

class QChart;
class QPainter;
class QRectF;

namespace kyt::drives {

enum class ChartKind { Distribution, Classes, Placements };

inline constexpr ChartKind kCharts[] = {ChartKind::Distribution, ChartKind::Classes, ChartKind::Placements};

// "distribution", "classes", "placements": the names kyt-cli takes.
const char* ChartName(ChartKind kind);
std::optional<ChartKind> ParseChartKind(const std::string& name);
// The chart's title for `statistics`: "Aggregate distribution by branch", ...
QString ChartTitle(ChartKind kind);

// A new chart (the caller owns it), without animations, so that a picture shows it whole.
QChart* MakeChart(ChartKind kind, const Statistics& statistics);

// The size a saved chart has, in pixels (PNG) or points (PDF page).
inline constexpr int kChartWidth = 1000;
inline constexpr int kChartHeight = 620;

// Draws the chart at the saved size, scaled into `target` of `painter` (a PDF page, a picture).
void RenderChart(ChartKind kind, const Statistics& statistics, QPainter& painter, const QRectF& target);

// Writes the chart to `path`: a PNG picture, or a one-page PDF, as its ending says (.png, .pdf). The
// file is made whole or not at all; `error` says why not.
bool SaveChart(ChartKind kind, const Statistics& statistics, const std::string& path, std::string& error);

}  // namespace kyt::drives

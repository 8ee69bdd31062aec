// Job search charts drawn with Qt Charts: one builder for the window and pavoden2-chart, the
// colour palette, and the PNG picture written whole or not at all.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>
#include <QtCharts/QChart>
#include <memory>
#include <string>

#include "records/job_charts.h"

namespace pavo::app::charts {

// The colours of the charts, from the Okabe-Ito set that stays distinguishable with red-green
// colour blindness: submitted blue, not submitted orange, single-series bars blue.
struct ChartPalette {
    QColor submitted;
    QColor not_submitted;
    QColor single;
    QColor notice;  // the "No records" words
};
const ChartPalette& chart_palette();

// Size of the saved pictures.
inline constexpr QSize kPictureSize{1600, 1000};
// Labels longer than this many characters are cut with "…" on the axis.
inline constexpr int kAxisLabelChars = 32;

// The label as the axis shows it: whole when short enough, else cut to kAxisLabelChars characters
// (counting UTF-8 characters, not bytes) ending in "…".
QString axis_label(const std::string& label);

// A chart of data: stacked months, horizontal bars for reasons and categories, bars for states,
// counts on the bars, the whole label and count as a bar's tooltip. Empty data keeps its axes and
// shows "No records" in the plot area.
std::unique_ptr<QChart> build_chart(const records::ChartData& data);

// The chart laid out at size and rendered offscreen, as PNG bytes; the notice, when there is
// one, stands under the title.
QByteArray render_chart_png(const records::ChartData& data, QSize size = kPictureSize);

// Writes the picture to path (logical c:\... or host path) as LineWriter does: every missing folder
// level made, the bytes under a temporary name renamed into place, nothing under the final name
// after a failure. Returns the file as errors name it. Throws pavo::Error (kIO, kNotFound,
// kInvalidInput) naming the file and the system's reason.
std::string save_chart_png(const records::ChartData& data, const std::string& path);

// The text on the chart of empty data.
inline constexpr const char* kNoRecordsText = "No records";

}  // namespace pavo::app::charts

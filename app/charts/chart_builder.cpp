// Chart building and offscreen rendering: axes, bars, labels, the empty-chart words, the PNG.
#include "app/charts/chart_builder.h"

#include <QBuffer>
#include <QCursor>
#include <QFont>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QPainter>
#include <QToolTip>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QHorizontalBarSeries>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <memory>

#include "platform/error.h"
#include "platform/line_writer.h"

namespace pavo::app::charts {

namespace {

QString q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool horizontal(records::ChartKind kind) {
    return kind == records::ChartKind::kReasons || kind == records::ChartKind::kTitles;
}

// Keeps the "No records" words centred in the plot area whenever the chart is laid out again.
void add_no_records(QChart& chart) {
    auto* text = new QGraphicsSimpleTextItem(QString::fromLatin1(kNoRecordsText), &chart);
    QFont font = text->font();
    font.setPointSize(20);
    text->setFont(font);
    text->setBrush(chart_palette().notice);
    text->setZValue(10);
    auto centre = [text](const QRectF& area) {
        const QRectF box = text->boundingRect();
        text->setPos(area.center() - QPointF(box.width() / 2, box.height() / 2));
    };
    QObject::connect(&chart, &QChart::plotAreaChanged, &chart, centre);
    centre(chart.plotArea());
}

}  // namespace

const ChartPalette& chart_palette() {
    static const ChartPalette palette{
        QColor(0x00, 0x72, 0xB2),  // blue
        QColor(0xE6, 0x9F, 0x00),  // orange
        QColor(0x00, 0x72, 0xB2),  // blue
        QColor(0x55, 0x55, 0x55),  // dark grey
    };
    return palette;
}

QString axis_label(const std::string& label) {
    QString whole = q(label);
    // Characters as a reader counts them: a surrogate pair is one character.
    const auto chars = whole.toUcs4();
    if (chars.size() <= kAxisLabelChars) return whole;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()),
                             kAxisLabelChars - 1)
               .trimmed() +
           QChar(0x2026);
}

std::unique_ptr<QChart> build_chart(const records::ChartData& data) {
    auto chart = std::make_unique<QChart>();
    chart->setTitle(q(data.title));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundBrush(Qt::white);
    const ChartPalette& palette = chart_palette();
    const bool across = horizontal(data.kind);

    // Horizontal bars are drawn bottom up; the first (largest, or first in order) goes on top.
    std::vector<const records::ChartBar*> bars;
    for (const auto& b : data.bars) bars.push_back(&b);
    if (across) std::reverse(bars.begin(), bars.end());

    QStringList categories;
    auto full_labels = std::make_shared<std::vector<std::string>>();
    for (const records::ChartBar* b : bars) {
        // The axis keeps one entry per distinct text, so two labels cut to the same text are kept
        // apart by invisible zero-width spaces.
        QString shown = axis_label(b->label);
        while (categories.contains(shown)) shown += QChar(0x200B);
        categories << shown;
        full_labels->push_back(b->label);
    }

    QAbstractBarSeries* series = nullptr;
    if (data.kind == records::ChartKind::kMonth)
        series = new QStackedBarSeries;
    else if (across)
        series = new QHorizontalBarSeries;
    else
        series = new QBarSeries;
    long long top = 0;
    for (std::size_t s = 0; s < data.series.size(); ++s) {
        QString name = q(data.series[s]);
        auto* set = new QBarSet(name.left(1) + name.mid(1).toLower());
        set->setColor(data.series.size() == 1 ? palette.single
                      : s == 0                ? palette.submitted
                                              : palette.not_submitted);
        set->setBorderColor(set->color().darker(120));
        set->setLabelColor(Qt::black);
        for (const records::ChartBar* b : bars) {
            const long long v = s < b->values.size() ? b->values[s] : 0;
            *set << static_cast<qreal>(v);
        }
        const std::string series_name = data.series[s];
        QObject::connect(
            set, &QBarSet::hovered, set, [set, full_labels, series_name](bool on, int index) {
                if (!on || index < 0 || static_cast<std::size_t>(index) >= full_labels->size()) {
                    QToolTip::hideText();
                    return;
                }
                QToolTip::showText(QCursor::pos(),
                                   q((*full_labels)[static_cast<std::size_t>(index)]) + "\n" +
                                       q(series_name) + ": " +
                                       QString::number(static_cast<qlonglong>(set->at(index))));
            });
        series->append(set);
    }
    for (const records::ChartBar* b : bars) {
        long long sum = 0, most = 0;
        for (long long v : b->values) {
            sum += v;
            most = std::max(most, v);
        }
        top = std::max(top, data.kind == records::ChartKind::kMonth ? sum : most);
    }
    if (data.kind != records::ChartKind::kMonth) {
        series->setLabelsVisible(true);
        series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        series->setLabelsFormat(QStringLiteral("@value"));
    }
    chart->addSeries(series);

    auto* category_axis = new QBarCategoryAxis;
    category_axis->append(categories);
    if (data.kind == records::ChartKind::kMonth && categories.size() > 12)
        category_axis->setLabelsAngle(-90);
    auto* value_axis = new QValueAxis;
    value_axis->setLabelFormat(QStringLiteral("%d"));
    // Room above the highest bar for its count; empty data still gets a scale.
    if (top >= 5) {
        value_axis->setRange(0, static_cast<qreal>(top) * 1.12);
        value_axis->applyNiceNumbers();
    } else {
        // Small counts (and none) on whole-number ticks 0..5.
        value_axis->setRange(0, 5);
        value_axis->setTickCount(6);
    }
    value_axis->setTitleText(QStringLiteral("Records"));
    chart->addAxis(category_axis, across ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(value_axis, across ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(category_axis);
    series->attachAxis(value_axis);
    chart->legend()->setVisible(data.series.size() > 1);
    chart->legend()->setAlignment(Qt::AlignTop);

    if (data.empty()) add_no_records(*chart);
    return chart;
}

QByteArray render_chart_png(const records::ChartData& data, QSize size) {
    QGraphicsScene scene;
    QChart* chart = build_chart(data).release();
    scene.addItem(chart);  // the scene owns the chart from here
    // A picture travels without the window, so the statistics' age goes into it.
    if (!data.notice.empty())
        chart->setTitle(QStringLiteral("<b>%1</b><br>%2")
                            .arg(q(data.title).toHtmlEscaped(), q(data.notice).toHtmlEscaped()));
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    scene.setSceneRect(QRectF(QPointF(0, 0), QSizeF(size)));
    // Lays the chart out at this size now, without waiting for an event loop.
    if (QGraphicsLayout* layout = chart->layout()) layout->activate();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        scene.render(&painter, QRectF(image.rect()), scene.sceneRect());
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw Error(ErrorKind::kInternal, "The chart could not be encoded as PNG");
    return png;
}

std::string save_chart_png(const records::ChartData& data, const std::string& path) {
    const QByteArray png = render_chart_png(data);
    LineWriter out(path);
    out.write_bytes(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    out.close();
    return out.display_name();
}

}  // namespace pavo::app::charts

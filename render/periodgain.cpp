#include "periodgain.h"

#include "model/locusdesign.h"
#include "raster/textraster.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace lodrix {

namespace {

constexpr int titleBandPx = 14; // the title's own row, as the locus box has it
constexpr Point titleOffset{4, 1};
constexpr int textPt = 8; // as the plots' labels, in the small box too
constexpr int marginPx = 4;
// The region is found every few pixels across, and drawn between them on
// the log scale: a change of corrector then costs a fraction of a
// millisecond.
constexpr int regionStepPx = 4;
constexpr int tickPx = 2;
constexpr int markHalfPx = 3;
constexpr Color stableFill = 0xC0F0C0; // a pale green
constexpr Color edgeColor = clGreen;
constexpr Color periodColor = clNavy;
constexpr const char *periodLabels[] = {"T1/4", "T1/2", "T1", "2T1"};
static_assert(std::size(periodLabels) == periodChoices.size());

int textSize(ViewRect)
{
    return textPt;
}

int cellPx(int)
{
    return 13;
}

// The gains written on the axis: each decade from minGain to maxGain.
std::vector<double> decades()
{
    std::vector<double> d;
    for (double g = minGain; g <= maxGain * 1.0001; g *= 10.0)
        d.push_back(g);
    return d;
}

// The plot inside the view: periods across on a log scale, gains up on a
// log scale.
struct Plot {
    int left;
    int top;
    int right;  // excluded
    int bottom; // excluded

    // The same whichever the decimal separator: a click finds the plot
    // where it was drawn.
    explicit Plot(ViewRect box)
    {
        const Font font{.face = FontFace::SansSerif, .size = textSize(box)};
        int labels = 0;
        for (const char *separator : {".", ","})
            for (double g : decades())
                labels = std::max(labels, textWidth(font, NumberFormat(separator).general(g)));
        left = box.topLeft.x + marginPx + labels + tickPx + 1;
        // Room for half a gain label above the top decade and the periods'
        // names under the bottom one.
        top = box.topLeft.y + titleBandPx + cellPx(textSize(box)) / 2 + 1;
        right = box.topLeft.x + box.width - marginPx - 6;
        bottom = box.topLeft.y + box.height - cellPx(textSize(box)) - tickPx - 4;
    }

    int width() const { return right - left; }
    int height() const { return bottom - top; }

    double xOf(double period) const
    {
        return left +
               (width() - 1) * std::log(period / shortestPeriod) / std::log(longestPeriod / shortestPeriod);
    }
    double periodAt(double x) const
    {
        return shortestPeriod * std::pow(longestPeriod / shortestPeriod, (x - left) / (width() - 1));
    }
    double yOf(double gain) const
    {
        return bottom - 1 - (height() - 1) * std::log(gain / minGain) / std::log(maxGain / minGain);
    }
    double gainAt(double y) const
    {
        return minGain * std::pow(maxGain / minGain, (bottom - 1 - y) / (height() - 1));
    }
    int px(double v) const { return static_cast<int>(std::lround(v)); }
};

// The stable gains a column of the plot, found once for the settings other
// than gain and period and the number of columns.
struct CachedRegion {
    FreeSettings settings;
    int columns = 0;
    PeriodGainRegion region;
};

const PeriodGainRegion &regionFor(const FreeSettings &s, int columns)
{
    thread_local CachedRegion cache{{}, -1, {}};
    FreeSettings key = s;
    key.gain = FreeSettings{}.gain;
    key.period = FreeSettings{}.period;
    if (cache.columns != columns || !(cache.settings == key)) {
        cache.settings = key;
        cache.columns = columns;
        cache.region = periodGainRegion(key, columns);
    }
    return cache.region;
}

// The stable gains at fraction u (0 to 1) of the way across: between two
// columns of the region with as many intervals, their ends on the log
// scale between theirs; else the nearer column's.
std::vector<GainInterval> stableAtColumn(const PeriodGainRegion &region, double u)
{
    const double at = u * double(region.stable.size() - 1);
    const std::size_t i = std::min(std::size_t(at), region.stable.size() - 1);
    const std::size_t j = std::min(i + 1, region.stable.size() - 1);
    const double t = at - double(i);
    const auto &a = region.stable[i];
    const auto &b = region.stable[j];
    if (a.size() != b.size())
        return t < 0.5 ? a : b;
    std::vector<GainInterval> mixed(a.size());
    const auto between = [t](double x, double y) { return x * std::pow(y / x, t); };
    for (std::size_t k = 0; k < a.size(); ++k)
        mixed[k] = {between(a[k].low, b[k].low), between(a[k].high, b[k].high)};
    return mixed;
}

} // namespace

void DrawPeriodGainView(Canvas &canvas, const FreeSettings &s, const NumberFormat &f, ViewRect box)
{
    const int left = box.topLeft.x;
    const int top = box.topLeft.y;
    const Plot plot(box);
    const int size = textSize(box);
    const int cell = cellPx(size);
    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    canvas.rectangle(left, top, left + box.width, top + box.height);
    canvas.line(left + 1, top + titleBandPx - 1, left + box.width - 1, top + titleBandPx - 1);

    // The stable region, a column of pixels a period, its edges darker.
    const bool withGain = hasGain(s.corrector);
    if (withGain) {
        const int w = plot.width();
        const PeriodGainRegion &region = regionFor(s, (w - 1) / regionStepPx + 2);
        std::vector<std::vector<GainInterval>> columns;
        for (int i = 0; i < w; ++i)
            columns.push_back(stableAtColumn(region, double(i) / std::max(1, w - 1)));
        for (int i = 0; i < w; ++i) {
            const int x = plot.left + i;
            canvas.pen.color = stableFill;
            for (const GainInterval &g : columns[std::size_t(i)])
                canvas.line(x, plot.px(plot.yOf(g.high)), x, plot.px(plot.yOf(g.low)) + 1);
        }
        canvas.pen.color = edgeColor;
        for (int i = 0; i < w; ++i) {
            const auto &now = columns[std::size_t(i)];
            const auto *before = i > 0 ? &columns[std::size_t(i - 1)] : nullptr;
            const int x = plot.left + i;
            for (std::size_t k = 0; k < now.size(); ++k)
                for (const bool high : {false, true}) {
                    const double edge = high ? now[k].high : now[k].low;
                    if (edge <= minGain * 1.0001 || edge >= maxGain * 0.9999)
                        continue;
                    const int y = plot.px(plot.yOf(edge));
                    if (before && before->size() == now.size()) {
                        const double was = high ? (*before)[k].high : (*before)[k].low;
                        canvas.line(x - 1, plot.px(plot.yOf(was)), x, y);
                    }
                    canvas.line(x, y, x + 1, y);
                }
        }
    }

    // The gains' decades and the offered periods, dotted, with their names.
    const Font font{.face = FontFace::SansSerif, .size = size, .color = clBlack, .bold = false};
    canvas.font = font;
    canvas.pen = {clBlack, 1, PenStyle::Dot};
    for (double g : decades()) {
        const int y = plot.px(plot.yOf(g));
        canvas.line(plot.left, y, plot.right, y);
        const std::string text = f.general(g);
        canvas.textOut(plot.left - tickPx - 1 - textWidth(font, text), y - cell / 2 - 1, text);
    }
    canvas.font.color = periodColor;
    for (std::size_t i = 0; i < periodChoices.size(); ++i) {
        const int x = plot.px(plot.xOf(periodChoices[i]));
        canvas.pen = {periodColor, 1, PenStyle::Dot};
        canvas.line(x, plot.top, x, plot.bottom);
        const int w = textWidth(font, periodLabels[i]);
        const int at = std::clamp(x - w / 2, left + 2, left + box.width - 2 - w);
        canvas.textOut(at, plot.bottom + tickPx - 1, periodLabels[i]);
    }
    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush.style = BrushStyle::Clear;
    canvas.rectangle(plot.left - 1, plot.top - 1, plot.right + 1, plot.bottom + 1);

    // The current setting: a cross, red where the loop is unstable.
    const int x = plot.px(plot.xOf(s.period));
    if (withGain) {
        bool stable = false;
        for (const GainInterval &g : stableGains(s))
            stable = stable || (s.gain >= g.low && s.gain <= g.high);
        const int y = plot.px(plot.yOf(std::clamp(s.gain, minGain, maxGain)));
        canvas.pen = {stable ? clBlue : clRed, 1, PenStyle::Solid};
        for (int d : {0, 1}) {
            canvas.line(x - markHalfPx, y - markHalfPx + d, x + markHalfPx + 1, y + markHalfPx + 1 + d);
            canvas.line(x + markHalfPx, y - markHalfPx + d, x - markHalfPx - 1, y + markHalfPx + 1 + d);
        }
    } else {
        canvas.pen = {clBlue, 2, PenStyle::Solid};
        canvas.line(x, plot.top, x, plot.bottom);
        canvas.font = font;
        canvas.font.color = clBlue;
        canvas.textOut(plot.left + 3, plot.top + 2, "Deux coups : sans gain");
    }

    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    canvas.font = font;
    canvas.font.color = clBlue;
    canvas.textOut(left + titleOffset.x, top + titleOffset.y, "Gc(T) : zone stable");
}

std::optional<PeriodGainPick> PickPeriodGain(const FreeSettings &s, ViewRect box, Point p)
{
    const Plot plot(box);
    // A click just outside the frame still takes its edge.
    constexpr int slackPx = 3;
    if (p.x < plot.left - slackPx || p.x >= plot.right + slackPx || p.y < plot.top - slackPx ||
        p.y >= plot.bottom + slackPx)
        return std::nullopt;
    const double x = std::clamp(double(p.x), double(plot.left), double(plot.right - 1));
    const double y = std::clamp(double(p.y), double(plot.top), double(plot.bottom - 1));
    return PeriodGainPick{nearestOfferedPeriod(plot.periodAt(x)),
                          hasGain(s.corrector) ? designGain(plot.gainAt(y)) : s.gain};
}

} // namespace lodrix

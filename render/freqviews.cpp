#include "freqviews.h"

#include "raster/textraster.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace lodrix {

namespace {

constexpr int textSizePt = 8; // as the plots' labels
constexpr int textCellPx = 13;
constexpr int titleBandPx = 14;
constexpr int marginBandPx = 14; // the margins' line, at the bottom
constexpr int crossHalfPx = 3;
constexpr Color curveColor = clNavy;
constexpr Color marginColor = clRed;
constexpr Color criticalColor = clRed;
constexpr Color axisColor = clBlue;
constexpr Color gridColor = 0xC0C0C0;

const Font textFont{.face = FontFace::SansSerif, .size = textSizePt, .color = axisColor, .bold = false};

std::string rounded(const NumberFormat &f, double v, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return f.general(std::round(v * scale) / scale);
}

// A large box writes each margin with its frequency; a small one the
// margins alone.
bool large(ViewBox box)
{
    return box.width >= 300;
}

// The frame, the title row and the margins' row.
void drawFrame(Canvas &canvas, ViewBox box, std::string_view title)
{
    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    canvas.rectangle(box.left, box.top, box.right(), box.bottom());
    canvas.line(box.left + 1, box.top + titleBandPx - 1, box.right() - 1, box.top + titleBandPx - 1);
    canvas.font = textFont;
    canvas.textOut(box.left + 4, box.top + 1, title);
}

// "MG = 12.3 dB à 31.4 rad/s ; MP = 45° à 10.2 rad/s", or shorter in a small box.
void writeMargins(Canvas &canvas, const StabilityMargins &m, const NumberFormat &f, ViewBox box)
{
    const Language &language = canvas.language();
    const bool full = large(box);
    std::string gain;
    if (m.gainDb)
        gain = full ? language.format("MG = %1 dB à %2 rad/s",
                                      {rounded(f, *m.gainDb, 1), rounded(f, *m.wPhase, 1)})
                    : language.format("MG %1 dB", {rounded(f, *m.gainDb, 1)});
    else
        gain = language.tr(full ? "MG : aucune, la phase ne passe pas -180°" : "MG : aucune");
    std::string phase;
    if (m.phase)
        phase =
            full ? language.format("MP = %1° à %2 rad/s", {rounded(f, *m.phase, 1), rounded(f, *m.wGain, 1)})
                 : language.format("MP %1°", {rounded(f, *m.phase, 0)});
    else
        phase = language.tr(full ? "MP : aucune, |L| ne passe pas 1" : "MP : aucune");
    canvas.font = textFont;
    canvas.font.color = marginColor;
    const int y = box.bottom() - marginBandPx;
    canvas.textOut(box.left + 4, y, gain);
    const int gap = full ? 16 : 8;
    canvas.textOut(box.left + 4 + textWidth(canvas.font, gain) + gap, y, phase);
}

// A plotting rectangle and its scales, x logarithmic or linear.
struct Panel {
    int x1, y1, x2, y2; // x2, y2 included
    double xmin, xmax, ymin, ymax;
    bool logX = false;

    double fx(double x) const
    {
        const double t = logX ? std::log(x / xmin) / std::log(xmax / xmin) : (x - xmin) / (xmax - xmin);
        return x1 + t * (x2 - x1);
    }
    double fy(double y) const { return y2 - (y - ymin) / (ymax - ymin) * (y2 - y1); }
    int px(double x) const { return static_cast<int>(std::lround(fx(x))); }
    int py(double y) const { return static_cast<int>(std::lround(fy(y))); }
};

// The part of the segment (ax, ay)-(bx, by) inside the panel, in pixels.
std::optional<std::pair<Point, Point>> clipped(const Panel &p, double ax, double ay, double bx, double by)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double edges[4][2] = {{-dx, ax - p.x1}, {dx, p.x2 - ax}, {-dy, ay - p.y1}, {dy, p.y2 - ay}};
    for (const auto &[q, r] : edges) {
        if (q == 0.0) {
            if (r < 0.0)
                return std::nullopt;
            continue;
        }
        const double t = r / q;
        if (q < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    const auto at = [&](double t) {
        return Point{static_cast<int>(std::lround(ax + t * dx)), static_cast<int>(std::lround(ay + t * dy))};
    };
    return std::pair{at(t0), at(t1)};
}

// A curve through points already in pixels, whatever lies outside left out.
void drawCurve(Canvas &canvas, const Panel &p, const std::vector<std::pair<double, double>> &pixels)
{
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const auto [ax, ay] = pixels[i - 1];
        const auto [bx, by] = pixels[i];
        if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by))
            continue;
        if (const auto s = clipped(p, ax, ay, bx, by)) {
            if (s->first == s->second)
                continue;
            canvas.line(s->first.x, s->first.y, s->second.x, s->second.y);
        }
    }
}

void drawCross(Canvas &canvas, Point p)
{
    canvas.line(p.x - crossHalfPx, p.y - crossHalfPx, p.x + crossHalfPx + 1, p.y + crossHalfPx + 1);
    canvas.line(p.x + crossHalfPx, p.y - crossHalfPx, p.x - crossHalfPx - 1, p.y + crossHalfPx + 1);
}

// A step of 1, 2 or 5 times a power of ten that cuts span in about `count`.
double niceStep(double span, int count)
{
    const double raw = span / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10.0 * power;
}

// Multiples of step covering [lo, hi], widened to hold `also`.
std::pair<double, double> widened(double lo, double hi, double step, double also)
{
    lo = std::min(lo, also);
    hi = std::max(hi, also);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;
    if (hi <= lo)
        hi = lo + step;
    return {lo, hi};
}

// The frame of a panel, a dotted line at each tick of y with its label on
// the left, every `step`.
void drawYScale(Canvas &canvas, const Panel &p, double step, const NumberFormat &f, std::string_view unit)
{
    canvas.pen = {axisColor, 1, PenStyle::Solid};
    canvas.brush.style = BrushStyle::Clear;
    canvas.rectangle(p.x1, p.y1, p.x2 + 1, p.y2 + 1);
    canvas.brush.style = BrushStyle::Solid;
    canvas.font = textFont;
    int lastLabel = -1000;
    for (double v = std::ceil(p.ymin / step) * step; v <= p.ymax + 1e-9; v += step) {
        const int y = p.py(v);
        canvas.pen = {gridColor, 1, PenStyle::Dot};
        if (y > p.y1 && y < p.y2)
            canvas.line(p.x1 + 1, y, p.x2, y);
        const std::string text = f.general(std::round(v)) + std::string(unit);
        if (std::abs(y - lastLabel) < textCellPx)
            continue;
        const int w = textWidth(canvas.font, text);
        canvas.textOut(p.x1 - w - 2, std::clamp(y - textCellPx / 2, p.y1 - 3, p.y2 - textCellPx + 3), text);
        lastLabel = y;
    }
    canvas.pen = {axisColor, 1, PenStyle::Solid};
}

// The decades of w under a logarithmic panel, and pi/T at its right end.
void drawFrequencyScale(Canvas &canvas, const Panel &p, const FrequencyResponse &r, const NumberFormat &f,
                        int labelY, bool labelled)
{
    canvas.font = textFont;
    int lastRight = p.x1 - 100;
    for (double w = std::pow(10.0, std::ceil(std::log10(r.lowest))); w < r.nyquist; w *= 10.0) {
        const int x = p.px(w);
        canvas.pen = {gridColor, 1, PenStyle::Dot};
        canvas.line(x, p.y1 + 1, x, p.y2);
        if (!labelled)
            continue;
        const std::string text = f.general(w);
        const int width = textWidth(canvas.font, text);
        if (x - width / 2 > lastRight + 4 && x + width / 2 < p.x2 - 24) {
            canvas.textOut(x - width / 2, labelY, text);
            lastRight = x + width / 2;
        }
    }
    // The Nyquist frequency, where the curves end.
    canvas.pen = {marginColor, 1, PenStyle::Solid};
    canvas.line(p.x2, p.y1, p.x2, p.y2 + 1);
    if (labelled) {
        canvas.font.color = marginColor;
        const int width = textWidth(canvas.font, "π/T");
        canvas.textOut(p.x2 - width, labelY, "π/T");
        canvas.font.color = axisColor;
    }
}

struct Range {
    double lo, hi;
};

// The gains of the curve, in dB, with 0 dB and no more than 100 dB below the top.
Range gainRange(const FrequencyResponse &r)
{
    double lo = 0.0;
    double hi = 0.0;
    for (const FrequencyPoint &p : r.points) {
        lo = std::min(lo, p.magnitudeDb);
        hi = std::max(hi, p.magnitudeDb);
    }
    hi = std::min(hi, 100.0);
    lo = std::max(lo, hi - 100.0);
    return {lo, hi};
}

Range phaseRange(const FrequencyResponse &r)
{
    double lo = -180.0;
    double hi = -180.0;
    for (const FrequencyPoint &p : r.points) {
        lo = std::min(lo, p.phaseDeg);
        hi = std::max(hi, p.phaseDeg);
    }
    return {lo, hi};
}

// The unwrapped phase of the curve at w, between its two samples about it.
double phaseAt(const FrequencyResponse &r, double w)
{
    const auto after = std::lower_bound(r.points.begin(), r.points.end(), w,
                                        [](const FrequencyPoint &p, double v) { return p.w < v; });
    if (after == r.points.begin())
        return after->phaseDeg;
    if (after == r.points.end())
        return r.points.back().phaseDeg;
    const FrequencyPoint &a = *(after - 1);
    const double t = std::log(w / a.w) / std::log(after->w / a.w);
    return a.phaseDeg + t * (after->phaseDeg - a.phaseDeg);
}

void finish(Canvas &canvas)
{
    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
}

} // namespace

void DrawBodeView(Canvas &canvas, const FrequencyResponse &r, const NumberFormat &f, ViewBox box)
{
    drawFrame(canvas, box, "Bode : gain (dB) et phase (°)");
    const bool full = large(box);
    const int leftPx = full ? 34 : 30;
    const int x1 = box.left + leftPx;
    const int x2 = box.right() - 6;
    const int top = box.top + titleBandPx + 5;
    const int bottom = box.bottom() - marginBandPx - textCellPx - 1; // the decades' labels under it
    const int middle = (top + bottom) / 2;
    const int gap = full ? 6 : 4;

    const Range gains = gainRange(r);
    const double gainStep = niceStep(gains.hi - gains.lo, full ? 4 : 2);
    const auto [glo, ghi] = widened(gains.lo, gains.hi, gainStep, 0.0);
    const Panel gain{x1, top, x2, middle - gap / 2, r.lowest, r.nyquist, glo, ghi, true};
    const Range phases = phaseRange(r);
    const double phaseStep = (phases.hi - phases.lo) > (full ? 360.0 : 180.0) ? 180.0 : 90.0;
    const auto [plo, phi] = widened(phases.lo, phases.hi, phaseStep, -180.0);
    const Panel phase{x1, middle + gap / 2, x2, bottom, r.lowest, r.nyquist, plo, phi, true};

    drawYScale(canvas, gain, gainStep, f, "");
    drawFrequencyScale(canvas, gain, r, f, 0, false);
    drawYScale(canvas, phase, phaseStep, f, "°");
    drawFrequencyScale(canvas, phase, r, f, bottom + 1, true);
    if (full) {
        canvas.font = textFont;
        const int w = textWidth(canvas.font, canvas.language().tr("ω en rad/s"));
        canvas.textOut(box.right() - w - 4, box.top + 1, "ω en rad/s");
    }

    // 0 dB and -180°, where the margins are read.
    canvas.pen = {criticalColor, 1, PenStyle::Dot};
    canvas.line(gain.x1 + 1, gain.py(0.0), gain.x2, gain.py(0.0));
    canvas.line(phase.x1 + 1, phase.py(-180.0), phase.x2, phase.py(-180.0));

    std::vector<std::pair<double, double>> g;
    std::vector<std::pair<double, double>> ph;
    g.reserve(r.points.size());
    ph.reserve(r.points.size());
    for (const FrequencyPoint &p : r.points) {
        g.emplace_back(gain.fx(p.w), gain.fy(p.magnitudeDb));
        ph.emplace_back(phase.fx(p.w), phase.fy(p.phaseDeg));
    }
    canvas.pen = {curveColor, 1, PenStyle::Solid};
    drawCurve(canvas, gain, g);
    drawCurve(canvas, phase, ph);

    // The gain margin, from the curve up to 0 dB at wPhase; the phase
    // margin, from -180° up to the curve at wGain.
    const StabilityMargins &m = r.margins;
    canvas.pen = {marginColor, 1, PenStyle::Solid};
    if (m.gainDb) {
        const int x = std::min(gain.px(*m.wPhase), gain.x2 - 1);
        if (const auto s = clipped(gain, x, gain.fy(-*m.gainDb), x, gain.fy(0.0)))
            canvas.line(s->first.x, s->first.y, s->second.x, s->second.y);
        canvas.line(x, phase.py(-180.0) - 2, x, phase.py(-180.0) + 3);
    }
    if (m.phase) {
        const int x = phase.px(*m.wGain);
        const double curve = phaseAt(r, *m.wGain);
        const double level = curve - *m.phase; // the odd multiple of 180 below or above
        if (const auto s = clipped(phase, x, phase.fy(level), x, phase.fy(curve)))
            canvas.line(s->first.x, s->first.y, s->second.x, s->second.y);
        canvas.line(x, gain.py(0.0) - 2, x, gain.py(0.0) + 3);
    }
    writeMargins(canvas, m, f, box);
    finish(canvas);
}

void DrawNyquistView(Canvas &canvas, const FrequencyResponse &r, const NumberFormat &f, ViewBox box)
{
    drawFrame(canvas, box, "Nyquist : L(e^jωT)");
    const StabilityMargins &m = r.margins;
    // Wide enough for -1, the unit circle and where the curve crosses the
    // negative real axis, if it does so near.
    const double crossing = m.gain ? 1.0 / *m.gain : 1.0;
    const double reach = std::clamp(1.4 * std::max(1.0, crossing), 1.6, 12.0);
    const int x1 = box.left + 2;
    const int x2 = box.right() - 3;
    const int y1 = box.top + titleBandPx + 1;
    const int y2 = box.bottom() - marginBandPx - 2;
    // One scale on both axes, -reach to reach/2 across, 0 at mid-height.
    const double unit = std::min((x2 - x1) / (1.5 * reach), (y2 - y1) / (2.0 * reach * 0.75));
    const double originX = x2 - (x2 - x1) / 3.0;
    const double originY = (y1 + y2) / 2.0;
    const Panel p{x1,
                  y1,
                  x2,
                  y2,
                  (x1 - originX) / unit,
                  (x2 - originX) / unit,
                  (originY - y2) / unit,
                  (originY - y1) / unit,
                  false};

    canvas.pen = {axisColor, 1, PenStyle::Dot};
    canvas.line(p.x1, p.py(0.0), p.x2 + 1, p.py(0.0));
    canvas.line(p.px(0.0), p.y1, p.px(0.0), p.y2 + 1);
    // The unit circle, where |L| = 1 and the phase margin is read.
    std::vector<std::pair<double, double>> circle;
    for (int a = 0; a <= 72; ++a) {
        const double t = a * 2.0 * 3.14159265358979 / 72;
        circle.emplace_back(p.fx(std::cos(t)), p.fy(std::sin(t)));
    }
    canvas.pen = {gridColor, 1, PenStyle::Solid};
    drawCurve(canvas, p, circle);

    // The curve for w > 0, and its mirror for w < 0 dotted.
    std::vector<std::pair<double, double>> upper;
    std::vector<std::pair<double, double>> lower;
    for (const FrequencyPoint &q : r.points) {
        upper.emplace_back(p.fx(q.value.real()), p.fy(q.value.imag()));
        lower.emplace_back(p.fx(q.value.real()), p.fy(-q.value.imag()));
    }
    canvas.pen = {curveColor, 1, PenStyle::Dot};
    drawCurve(canvas, p, lower);
    canvas.pen = {curveColor, 1, PenStyle::Solid};
    drawCurve(canvas, p, upper);

    canvas.font = textFont;
    canvas.textOut(p.x2 - textWidth(canvas.font, "Re") - 1, p.py(0.0) - textCellPx, "Re");
    canvas.textOut(p.px(0.0) + 3, p.y1, "Im");

    // The critical point.
    canvas.pen = {criticalColor, 1, PenStyle::Solid};
    const Point critical{p.px(-1.0), p.py(0.0)};
    drawCross(canvas, critical);
    canvas.font.color = criticalColor;
    canvas.textOut(critical.x - 8, critical.y + 3, "-1");

    // The gain margin: where the curve crosses the negative real axis,
    // -1/MG; the phase margin: the point of the unit circle at wGain, and
    // its angle from the negative real axis.
    canvas.pen = {marginColor, 1, PenStyle::Solid};
    canvas.brush = {marginColor, BrushStyle::Solid};
    if (m.gain) {
        const Point at{p.px(-1.0 / *m.gain), p.py(0.0)};
        if (at.x >= p.x1 + 2 && at.x <= p.x2 - 2) {
            canvas.rectangle(at.x - 2, at.y - 2, at.x + 3, at.y + 3);
            canvas.textOut(at.x + 3, at.y + 2, "-1/MG");
        }
    }
    if (m.phase) {
        const Complex l = std::polar(1.0, (*m.phase - 180.0) * 3.14159265358979 / 180);
        const Point at{p.px(l.real()), p.py(l.imag())};
        canvas.line(p.px(0.0), p.py(0.0), at.x, at.y);
        canvas.rectangle(at.x - 2, at.y - 2, at.x + 3, at.y + 3);
        canvas.textOut(at.x + 4, at.y + (l.imag() < 0 ? 0 : -textCellPx), "MP");
    }
    writeMargins(canvas, m, f, box);
    finish(canvas);
}

void DrawBlackView(Canvas &canvas, const FrequencyResponse &r, const NumberFormat &f, ViewBox box)
{
    drawFrame(canvas, box,
              large(box) ? "Black-Nichols : gain (dB) selon la phase (°)" : "Black : dB selon °");
    const bool full = large(box);
    const int x1 = box.left + (full ? 34 : 30);
    const int x2 = box.right() - 8;
    const int y1 = box.top + titleBandPx + 5;
    const int y2 = box.bottom() - marginBandPx - textCellPx - 1;

    const Range gains = gainRange(r);
    const double gainStep = niceStep(gains.hi - gains.lo, full ? 5 : 3);
    const auto [glo, ghi] = widened(gains.lo, gains.hi, gainStep, 0.0);
    const Range phases = phaseRange(r);
    const double phaseStep = (phases.hi - phases.lo) > (full ? 360.0 : 180.0) ? 180.0 : 90.0;
    const auto [plo, phi] = widened(phases.lo, phases.hi, phaseStep, -180.0);
    const Panel p{x1, y1, x2, y2, plo, phi, glo, ghi, false};

    drawYScale(canvas, p, gainStep, f, "");
    // The phases under the panel.
    canvas.font = textFont;
    int lastRight = p.x1 - 100;
    for (double v = plo; v <= phi + 1e-9; v += phaseStep) {
        const int x = p.px(v);
        canvas.pen = {gridColor, 1, PenStyle::Dot};
        if (x > p.x1 && x < p.x2)
            canvas.line(x, p.y1 + 1, x, p.y2);
        const std::string text = f.general(v) + "°";
        const int w = textWidth(canvas.font, text);
        const int left = std::clamp(x - w / 2, p.x1 - 10, p.x2 + 6 - w);
        if (left > lastRight + 3) {
            canvas.textOut(left, p.y2 + 1, text);
            lastRight = left + w;
        }
    }

    std::vector<std::pair<double, double>> curve;
    for (const FrequencyPoint &q : r.points)
        curve.emplace_back(p.fx(q.phaseDeg), p.fy(q.magnitudeDb));
    canvas.pen = {curveColor, 1, PenStyle::Solid};
    drawCurve(canvas, p, curve);

    // The critical point, and the margins: from it down (or up) to the
    // curve at -180°, and along 0 dB to the curve.
    canvas.pen = {criticalColor, 1, PenStyle::Solid};
    const Point critical{p.px(-180.0), p.py(0.0)};
    drawCross(canvas, critical);
    const StabilityMargins &m = r.margins;
    canvas.pen = {marginColor, 1, PenStyle::Solid};
    if (m.gainDb) {
        if (const auto s = clipped(p, critical.x, p.fy(0.0), critical.x, p.fy(-*m.gainDb)))
            canvas.line(s->first.x, s->first.y, s->second.x, s->second.y);
    }
    if (m.phase) {
        const double curve = phaseAt(r, *m.wGain);
        if (const auto s = clipped(p, p.fx(curve - *m.phase), p.fy(0.0), p.fx(curve), p.fy(0.0)))
            canvas.line(s->first.x, s->first.y, s->second.x, s->second.y);
    }
    writeMargins(canvas, m, f, box);
    finish(canvas);
}

} // namespace lodrix

#pragma once
// The drawing surface every lesson draws on. It keeps the state of a classic
// GDI canvas (pen, brush, font, current position) as plain public members and
// offers the calls the lessons need, with their rules:
//  - rectangles and ellipses are given by two corners and exclude the right
//    and bottom edges;
//  - a line stops one pixel short of its end point;
//  - text is placed by the top-left corner of its cell, on a transparent
//    background;
//  - font sizes are points at 96 dpi;
//  - colours are 0xBBGGRR, plus the two desktop colours clFace and clHighlight.
// Implementations paint (RasterCanvas) or only record (RecordingCanvas); any
// canvas can also log its calls to an OpLog, which is how a frame is dumped.
// The lessons write their texts in French; a canvas given another language
// draws the translation of each text its catalogue knows, and logs what it
// drew.

#include "lang/catalogue.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lodrix {

using Color = std::uint32_t; // 0xBBGGRR, or one of the system colours below

constexpr Color clBlack = 0x000000;
constexpr Color clMaroon = 0x000080;
constexpr Color clGreen = 0x008000;
constexpr Color clOlive = 0x008080;
constexpr Color clNavy = 0x800000;
constexpr Color clPurple = 0x800080;
constexpr Color clRed = 0x0000FF;
constexpr Color clBlue = 0xFF0000;
constexpr Color clYellow = 0x00FFFF;
constexpr Color clAqua = 0xFFFF00;
constexpr Color clWhite = 0xFFFFFF;
// Desktop scheme colours, resolved by the painting canvas (a fixed light scheme).
constexpr Color clFace = 0xFF00000F;
constexpr Color clHighlight = 0xFF00000D;

constexpr bool isSystemColor(Color c)
{
    return (c & 0xFF000000u) != 0;
}

enum class PenStyle { Solid, Dot };
enum class BrushStyle { Solid, Clear };
enum class FontFace { SansSerif, Symbol }; // "MS sans Serif" and "Symbol"

struct Pen {
    Color color = clBlack;
    int width = 1;
    PenStyle style = PenStyle::Solid;
    bool operator==(const Pen &) const = default;
};

struct Brush {
    Color color = clWhite;
    BrushStyle style = BrushStyle::Solid;
    bool operator==(const Brush &) const = default;
};

// A fresh canvas has the toolkit's default font: "MS Sans Serif", 8 pt, black.
struct Font {
    FontFace face = FontFace::SansSerif;
    int size = 8; // points at 96 dpi
    Color color = clBlack;
    bool bold = false;
    bool operator==(const Font &) const = default;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point &) const = default;
};

enum class Surface { Window, Scene, Anim };

// One drawing call with the state in force when it was made.
struct Op {
    enum class Kind { Line, Rect, Ellipse, Arc, Polygon, Text, Copy };
    Surface surface = Surface::Window;
    Kind kind = Kind::Line;
    std::vector<Point> points;      // line/rect/ellipse: 2 corners; arc: box (2), from, to; polygon
    std::string text;               // text, as drawn
    Surface source = Surface::Anim; // copy
    Pen pen;
    Brush brush;
    Font font;
};

using OpLog = std::vector<Op>;

class Canvas {
public:
    explicit Canvas(Surface surface) : surface_(surface) {}
    virtual ~Canvas() = default;
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    Pen pen;
    Brush brush;
    Font font;

    Surface surface() const { return surface_; }

    void moveTo(int x, int y) { penPos_ = {x, y}; }
    void lineTo(int x, int y);
    void line(int x1, int y1, int x2, int y2)
    {
        moveTo(x1, y1);
        lineTo(x2, y2);
    }
    void rectangle(int x1, int y1, int x2, int y2);
    void ellipse(int x1, int y1, int x2, int y2);
    // Counter-clockwise arc of the ellipse inscribed in (x1,y1)-(x2,y2), from
    // the radial through (x3,y3) to the radial through (x4,y4).
    void arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void polygon(std::span<const Point> points);
    void textOut(int x, int y, std::string_view utf8);
    // Copies the whole of another surface with its top-left corner at (x, y).
    void draw(int x, int y, const Canvas &source);

    // Every later call is appended to log (nullptr stops logging).
    void setLog(OpLog *log) { log_ = log; }

    // The language later texts are drawn in.
    void setLanguage(Language language) { language_ = language; }
    const Language &language() const { return language_; }

protected:
    virtual void paintLine(Point from, Point to) = 0;
    virtual void paintRect(Point p1, Point p2) = 0;
    virtual void paintEllipse(Point p1, Point p2) = 0;
    virtual void paintArc(Point p1, Point p2, Point start, Point end) = 0;
    virtual void paintPolygon(std::span<const Point> points) = 0;
    virtual void paintText(Point at, std::string_view utf8) = 0;
    virtual void paintCopy(Point at, const Canvas &source) = 0;

private:
    void record(Op::Kind kind, std::vector<Point> points, std::string_view text = {},
                Surface source = Surface::Anim);

    Surface surface_;
    Point penPos_;
    OpLog *log_ = nullptr;
    Language language_;
};

// A canvas that only keeps the log of its calls, for tests and tools.
class RecordingCanvas final : public Canvas {
public:
    explicit RecordingCanvas(Surface surface = Surface::Window) : Canvas(surface) { setLog(&ops); }
    OpLog ops;

protected:
    void paintLine(Point, Point) override {}
    void paintRect(Point, Point) override {}
    void paintEllipse(Point, Point) override {}
    void paintArc(Point, Point, Point, Point) override {}
    void paintPolygon(std::span<const Point>) override {}
    void paintText(Point, std::string_view) override {}
    void paintCopy(Point, const Canvas &) override {}
};

// The three surfaces a frame draws on.
struct Surfaces {
    Canvas &window; // client area of the main window
    Canvas &scene;  // the FOND image, 785 x 225
    Canvas &anim;   // bmpAnim, 360 x 140
};

} // namespace lodrix

#pragma once
// The three surfaces of one window, recording (or painting) every call,
// behind a controller and a shell that remembers what it was told: the
// window's timer played tick by tick; finders for the calls; the columns of
// a data table in one line.

#include "engine/controller.h"
#include "raster/rastercanvas.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>

Q_DECLARE_METATYPE(lodrix::Point)
Q_DECLARE_METATYPE(lodrix::Surface)

namespace lodrix {

// The columns of a data table, of types T, named in order.
template<typename... T> void addColumns(const std::array<const char *, sizeof...(T)> &names)
{
    std::size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

inline QSize surfaceSize(Surface s)
{
    return s == Surface::Window ? QSize(800, 560) : s == Surface::Scene ? QSize(785, 225) : QSize(360, 140);
}

template<typename C> C makeSurface(Surface s)
{
    if constexpr (std::is_same_v<C, RasterCanvas>)
        return C(s, surfaceSize(s).width(), surfaceSize(s).height());
    else
        return C(s);
}

// A shell that only remembers what it was told.
struct FakeShell final : ControllerShell {
    struct State {
        bool enabled = false;
        bool visible = false;
    };
    std::map<Control, State> controls{{Control::Button1, {true, true}}};
    int buttonsMade = 0;
    std::string commentary;

    void switchControl(Control c, bool on) override { controls[c] = {on, on}; }
    void hideControl(Control c) override { controls[c].visible = false; }
    void createCommentaryButton() override { ++buttonsMade; }
    void showCommentary(const char *name) override
    {
        controls[Control::RichEdit2].visible = true;
        commentary = name;
    }
    bool on(Control c) { return controls[c].enabled && controls[c].visible; }
    bool off(Control c) { return !controls[c].enabled && !controls[c].visible; }
};

template<typename C = RecordingCanvas> struct Screen {
    static constexpr bool recording = std::is_same_v<C, RecordingCanvas>;

    // Menu entry `rubrique` started as a person starts it: chosen, its mode
    // chosen, then "Démarrer Animation" or in step mode the first press of
    // "Incrémenter la période". With no entry, nothing is chosen.
    explicit Screen(int rubrique = -1, int mode = 0, NumberFormat numbers = NumberFormat(","),
                    Language language = {})
        : c(shell, {window, scene, anim}, std::move(numbers), language)
    {
        if (rubrique < 0)
            return;
        c.choix(rubrique);
        if (rubrique >= 2)
            c.choixbis(mode);
        mode == 1 ? c.Button2Click() : c.Button1Click();
    }

    FakeShell shell;
    C window = makeSurface<C>(Surface::Window);
    C scene = makeSurface<C>(Surface::Scene);
    C anim = makeSurface<C>(Surface::Anim);
    Controller c;
    FrameContext ctx{{window, scene, anim}, c.model(), c.numbers()};

    void clearLogs()
    {
        if constexpr (recording) {
            window.ops.clear();
            scene.ops.clear();
            anim.ops.clear();
        }
    }

    const OpLog &log(Surface s) const requires recording
    {
        return s == Surface::Window ? window.ops : s == Surface::Scene ? scene.ops : anim.ops;
    }

    // The next frame, drawn as the window's timer draws it. A halted
    // step-mode page first gets a press of "Incrémenter la période"; a page
    // that cannot go on gives Page::None. The logs then hold only the calls
    // of that frame.
    Frame next()
    {
        clearLogs();
        Frame f = c.Timer1Timer();
        if (f.page == Page::None && c.animation().modeAnimation == 1) {
            c.Button2Click();
            clearLogs();
            f = c.Timer1Timer();
        }
        return f;
    }

    // Ticks until the frame of `last` is drawn, calling onFrame(tick) after
    // every frame.
    template<typename OnFrame> void playTo(int last, OnFrame onFrame)
    {
        for (int guard = 0; guard < 2000; ++guard) {
            const Frame f = next();
            QVERIFY2(f.page != Page::None, "the page halted");
            onFrame(f.tick);
            if (f.tick == last)
                return;
        }
        QFAIL("tick never drawn");
    }
    void playTo(int last)
    {
        playTo(last, [](int) {});
    }
};

// Index of the first call that matches, -1 for none: drawing orders compare these.
template<typename Wanted> int indexOf(const OpLog &ops, Wanted wanted)
{
    const auto it = std::find_if(ops.begin(), ops.end(), wanted);
    return it == ops.end() ? -1 : int(it - ops.begin());
}

template<typename Wanted> const Op *findOp(const OpLog &ops, Wanted wanted)
{
    const int i = indexOf(ops, wanted);
    return i < 0 ? nullptr : &ops[std::size_t(i)];
}

inline bool isText(const Op &op, std::string_view prefix)
{
    return op.kind == Op::Kind::Text && std::string_view(op.text).starts_with(prefix);
}

// The first text that begins with prefix.
inline const Op *findText(const OpLog &ops, std::string_view prefix)
{
    return findOp(ops, [&](const Op &op) { return isText(op, prefix); });
}

inline int textIndex(const OpLog &ops, std::string_view text, Point at)
{
    return indexOf(ops, [&](const Op &op) { return isText(op, text) && op.points[0] == at; });
}

inline bool isLine(const Op &op, Point from, Point to)
{
    return op.kind == Op::Kind::Line && op.points[0] == from && op.points[1] == to;
}

// The first line of a colour leaving x, at any y.
inline int lineFrom(const OpLog &ops, Color color, int x)
{
    return indexOf(ops, [&](const Op &op) {
        return op.kind == Op::Kind::Line && op.pen.color == color && op.points[0].x == x;
    });
}

} // namespace lodrix

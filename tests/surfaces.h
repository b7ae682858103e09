#pragma once
// The three surfaces of one window, recording (or painting) every call, with
// the model and counters behind them; a player that ticks the dispatcher and
// draws each frame as the window's timer does; and finders for the calls.

#include "engine/animation.h"
#include "pages/pages.h"
#include "render/rastercanvas.h"

#include <QTest>

#include <algorithm>
#include <string_view>
#include <type_traits>

Q_DECLARE_METATYPE(lodrix::Point)
Q_DECLARE_METATYPE(lodrix::Surface)

namespace lodrix {

inline QSize surfaceSize(Surface s)
{
    return s == Surface::Window ? QSize(800, 500) : s == Surface::Scene ? QSize(785, 225) : QSize(360, 140);
}

template<typename C> C makeSurface(Surface s)
{
    if constexpr (std::is_same_v<C, RasterCanvas>)
        return C(s, surfaceSize(s).width(), surfaceSize(s).height());
    else
        return C(s);
}

template<typename C = RecordingCanvas> struct Screen {
    static constexpr bool recording = std::is_same_v<C, RecordingCanvas>;

    // Menu entry `rubrique` started as its button does: "Démarrer Animation",
    // or in step mode the first press of "Incrémenter la période".
    explicit Screen(int rubrique = -1, int mode = 0)
    {
        state.rubrique = rubrique;
        state.modeAnimation = mode;
        if (mode == 1)
            advancePeriod(state);
        else
            startPage(state);
    }

    C window = makeSurface<C>(Surface::Window);
    C scene = makeSurface<C>(Surface::Scene);
    C anim = makeSurface<C>(Surface::Anim);
    ModelState model;
    NumberFormat numbers{","};
    FrameContext ctx{{window, scene, anim}, model, numbers};
    AnimationState state;

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
    // step-mode page first gets a press of "Incrémenter la période", which
    // zeroes theta and loads the period's start angle; a page that cannot go
    // on gives Page::None. The logs then hold only the calls of that frame.
    Frame next()
    {
        clearLogs();
        Frame f = dispatchTick(state);
        if (f.page == Page::None) {
            const PeriodAdvance press = advancePeriod(state);
            if (!press.applied)
                return f;
            model.theta = 0.0;
            model.thetaPrec = press.thetaPrec;
            f = dispatchTick(state);
        }
        draw(f);
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

    void draw(const Frame &f)
    {
        // In the order of Page, from the presentation on.
        static constexpr void (*pages[])(FrameContext &, int) = {DrawPresentationFrame, DrawOpenLoopFrame,
                                                                 DrawProportionalFrame,
                                                                 DrawPoleCompensationFrame, DrawTwoStepFrame};
        static_assert(std::size(pages) == std::size_t(Page::TwoStep) - std::size_t(Page::Presentation) + 1);
        if (f.page == Page::Idle)
            DrawIdlePicture(ctx);
        else if (f.page != Page::None)
            pages[int(f.page) - int(Page::Presentation)](ctx, f.tick);
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

// The settings of the free-setting entry: corrector, gain, sampling period,
// step or ramp, and the load with its period, in the free strip under the
// form's controls, each placed here and filled, shown and read through its
// row in settings/settings.h. A change is handed to the controller, which
// stops the run and shows the idle picture with it.

#include "tvitesse.h"

#include "app/stripwidgets.h"

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "settings/settings.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace lodrix {

namespace {

// Two rows: the loop's settings under the form's controls, the gain slider
// among them, and the load's in the free room above « Démarrer Animation »
// (no lesson draws there). Left to right, each control after the previous
// one: a longer slider, for a wider range of gains, moves what follows it.
constexpr int stripTop = 539;
constexpr int upperTop = 490;
constexpr int stripHeight = 19;
constexpr int captionDrop = 3; // a caption's top under its row's
constexpr int captionGap = 6;  // from a control to the next caption

// Each setting's control, by the setting's name: a list for a choice, a
// spin box for a number. They show and take the settings' values through
// the settings' rows.
std::array<std::pair<std::string_view, QWidget *>, 7> stripControls(const Tvitesse &w)
{
    return {{{"corrector", w.SettingCorrector},
             {"gain", w.SettingGain},
             {"period", w.SettingPeriod},
             {"step", w.SettingStep},
             {"input", w.SettingInput},
             {"load", w.SettingLoad},
             {"loadfrom", w.SettingLoadFrom}}};
}

// A list holds the row's choices, in the window's language; a spin box its range.
void fitToRow(const Tvitesse &w, QWidget *control, const Setting &row)
{
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        for (const SettingChoice &c : row.choices)
            list->addItem(w.say(c.label));
    } else if (auto *whole = qobject_cast<QSpinBox *>(control)) {
        whole->setRange(int(row.low), int(row.high));
    } else if (auto *decimal = qobject_cast<QDoubleSpinBox *>(control)) {
        decimal->setRange(row.low, row.high);
    }
}

void showValue(QWidget *control, const Setting &row, double value)
{
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        const auto found = std::find_if(row.choices.begin(), row.choices.end(),
                                        [value](const SettingChoice &c) { return c.value == value; });
        list->setCurrentIndex(int(found - row.choices.begin()));
    } else if (auto *whole = qobject_cast<QSpinBox *>(control)) {
        whole->setValue(int(value));
    } else if (auto *decimal = qobject_cast<QDoubleSpinBox *>(control)) {
        decimal->setValue(value);
    }
}

double valueShown(const QWidget *control, const Setting &row)
{
    if (const auto *list = qobject_cast<const QComboBox *>(control))
        return row.choices[std::size_t(std::clamp(list->currentIndex(), 0, int(row.choices.size()) - 1))]
            .value;
    if (const auto *whole = qobject_cast<const QSpinBox *>(control))
        return whole->value();
    if (const auto *decimal = qobject_cast<const QDoubleSpinBox *>(control))
        return decimal->value();
    return 0.0;
}

} // namespace

void Tvitesse::buildFreeSettings()
{
    int x = 16;
    int top = stripTop;
    auto caption = [&](int width, const char *text) {
        auto *l = new QLabel(say(text), this);
        l->setGeometry(x, top + captionDrop, width, 13);
        l->setFont(uiFont(11, false));
        freeSettingControls_.push_back(l);
        designs_.push_back({l, 11, false, l->geometry()});
        x += width;
        return l;
    };
    auto place = [&](QWidget *w, const char *name, int width, const char *accessible,
                     int gapAfter = captionGap) {
        const QRect r(x, top, width, stripHeight);
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(r);
        w->setAccessibleName(say(accessible));
        w->setFocusPolicy(Qt::StrongFocus);
        freeSettingControls_.push_back(w);
        designs_.push_back({w, 11, false, r});
        x += width + gapAfter;
    };

    caption(62, "Correcteur :")->setBuddy(SettingCorrector = new QComboBox(this));
    x += 2;
    place(SettingCorrector, "SettingCorrector", 120, "Correcteur");

    caption(22, "G =")->setBuddy(SettingGain = new NumberField(this, controller.numbers()));
    SettingGain->setDecimals(4); // the slider's gains: 0.1023 to 100
    SettingGain->setSingleStep(0.1);
    SettingGain->setKeyboardTracking(false); // a value applies once typed, not digit by digit
    place(SettingGain, "SettingGain", 56, "Gain G", 2);

    // Every move applies, while it is dragged too: the views answer under the
    // hand. Its handle travels a pixel for every two positions.
    SettingGainSlider = new GainSlider(this);
    SettingGainSlider->setRange(0, gainSliderPositions);
    SettingGainSlider->setSingleStep(1);
    SettingGainSlider->setPageStep(gainSliderPage);
    place(SettingGainSlider, "SettingGainSlider", gainSliderTravel + SettingGainSlider->handleLength(),
          "Gain G, échelle logarithmique de 0,1 à 100");

    caption(22, "T =")->setBuddy(SettingPeriod = new QComboBox(this));
    place(SettingPeriod, "SettingPeriod", 104, "Période d'échantillonnage T");

    caption(22, "E =")->setBuddy(SettingStep = new QSpinBox(this));
    SettingStep->setKeyboardTracking(false);
    place(SettingStep, "SettingStep", 50, "Échelon E (codes)", 4);

    // The set-point's shape beside its height; the load and its period above.
    SettingInput = new QComboBox(this);
    place(SettingInput, "SettingInput", 70, "Consigne");

    x = 470;
    top = upperTop;
    caption(40, "Charge :")->setBuddy(SettingLoad = new QSpinBox(this));
    x += 2;
    SettingLoad->setKeyboardTracking(false);
    place(SettingLoad, "SettingLoad", 56, "Charge D (codes)");

    caption(18, "k =")->setBuddy(SettingLoadFrom = new QSpinBox(this));
    SettingLoadFrom->setKeyboardTracking(false);
    place(SettingLoadFrom, "SettingLoadFrom", 36, "Période k du début de la charge");

    for (const auto &[name, control] : stripControls(*this))
        fitToRow(*this, control, *findSetting(name));
    showFreeSettings();
    for (QWidget *w : freeSettingControls_)
        switchOff(w);
    for (const auto &[name, control] : stripControls(*this)) {
        if (auto *list = qobject_cast<QComboBox *>(control))
            connect(list, &QComboBox::currentIndexChanged, this, &Tvitesse::applyFreeSettings);
        else if (auto *whole = qobject_cast<QSpinBox *>(control))
            connect(whole, &QSpinBox::valueChanged, this, &Tvitesse::applyFreeSettings);
        else if (auto *decimal = qobject_cast<QDoubleSpinBox *>(control))
            connect(decimal, &QDoubleSpinBox::valueChanged, this, &Tvitesse::applyFreeSettings);
    }
    buildFreeViewArea();
    connect(SettingGainSlider, &QSlider::valueChanged, this, [this](int position) {
        const QSignalBlocker blocked(SettingGain);
        SettingGain->setValue(gainAtSliderPosition(position));
        applyFreeSettings();
    });
}

// ---- The views box: what the hand does there goes to the controller.

void Tvitesse::buildFreeViewArea()
{
    const ZPlaneBox box = FreeViewBox();
    FreeViewArea = new ViewArea(this);
    FreeViewArea->setObjectName(QStringLiteral("FreeViewArea"));
    FreeViewArea->setGeometry(box.topLeft.x, box.topLeft.y, box.size, box.size);
    // Shown with the strip, but no part of it (formRect("FreeSettings")).
    designs_.push_back({FreeViewArea, 0, false, FreeViewArea->geometry()});
    switchOff(FreeViewArea);
    nameFreeView();
    FreeViewArea->pressed = [this](QPointF p) {
        controller.viewPress(onForm(p));
        nameFreeView();
        present();
    };
    FreeViewArea->pointed = [this](std::optional<QPointF> p) {
        controller.viewPointer(p ? std::optional<Point>(onForm(*p)) : std::nullopt);
        present();
    };
    FreeViewArea->released = [this] { controller.viewRelease(); };
    FreeViewArea->stepped = [this](int steps) {
        controller.viewStep(steps);
        present();
    };
    FreeViewArea->switched = [this] {
        controller.setFreeView(controller.freeViews().shown == FreeView::Locus ? FreeView::PeriodGain
                                                                               : FreeView::Locus);
        nameFreeView();
        present();
    };
}

Point Tvitesse::onForm(QPointF inViewArea) const
{
    const ZPlaneBox box = FreeViewBox();
    const double z = zoomFactor();
    return {box.topLeft.x + int(std::floor(inViewArea.x() / z)),
            box.topLeft.y + int(std::floor(inViewArea.y() / z))};
}

void Tvitesse::nameFreeView()
{
    FreeViewArea->setAccessibleName(say(FreeViewName(controller.freeViews().shown)));
}

void Tvitesse::showFreeSettings()
{
    const FreeSettings &s = controller.freeSettings();
    shownSettings_ = s;
    SettingGain->setNumbers(controller.numbers());
    std::vector<QSignalBlocker> blocked;
    blocked.emplace_back(SettingGainSlider);
    for (const auto &[name, control] : stripControls(*this)) {
        const Setting &row = *findSetting(name);
        blocked.emplace_back(control);
        showValue(control, row, row.get(s));
    }
    // A position that gives this gain stays where the hand left it.
    if (gainAtSliderPosition(SettingGainSlider->value()) != s.gain)
        SettingGainSlider->setValue(sliderPositionOfGain(s.gain));
    // The two-step corrector is computed from the period: it has no gain.
    SettingGain->setEnabled(SettingCorrector->isEnabled() && s.corrector != Corrector::TwoStep);
    SettingGainSlider->setEnabled(SettingGain->isEnabled());
    // The loop's critical gain marked on the track, where the slider gives it.
    const std::optional<double> critical = controller.freeLoop().criticalGain();
    SettingGainSlider->setMark(critical && *critical >= minGain && *critical <= maxGain
                                   ? std::optional<int>(sliderPositionOfGain(*critical))
                                   : std::nullopt);
}

void Tvitesse::applyFreeSettings()
{
    FreeSettings s;
    for (const auto &[name, control] : stripControls(*this)) {
        const Setting &row = *findSetting(name);
        row.put(s, valueShown(control, row));
    }
    if (const auto error = controller.setFreeSettings(s))
        QMessageBox::warning(this, QStringLiteral("Lodrix"), QString::fromStdString(*error));
    present();
}

} // namespace lodrix

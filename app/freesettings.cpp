// The settings of the free-setting entry: corrector, gain, sampling period,
// step or ramp, and the load with its period, in the free strip under the
// form's controls. A change is handed
// to the controller, which stops the run and shows the idle picture with it.

#include "tvitesse.h"

#include "app/stripwidgets.h"

#include "render/qt/colors.h"
#include "render/qt/fonts.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

#include <array>
#include <iterator>

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

constexpr std::array correctors{Corrector::Proportional, Corrector::PoleCompensation, Corrector::TwoStep};
constexpr std::array inputs{Input::Step, Input::Ramp};

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
    SettingCorrector->addItems({say("Proportionnel"), say("Compensation pôle"), say("Deux coups")});
    place(SettingCorrector, "SettingCorrector", 120, "Correcteur");

    caption(22, "G =")->setBuddy(SettingGain = new NumberField(this, controller.numbers()));
    SettingGain->setRange(minGain, maxGain);
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
    SettingPeriod->addItems({QStringLiteral("T1/4 = 25 ms"), QStringLiteral("T1/2 = 50 ms"),
                             QStringLiteral("T1 = 100 ms"), QStringLiteral("2 T1 = 200 ms")});
    place(SettingPeriod, "SettingPeriod", 104, "Période d'échantillonnage T");

    caption(22, "E =")->setBuddy(SettingStep = new QSpinBox(this));
    SettingStep->setRange(1, maxStep);
    SettingStep->setKeyboardTracking(false);
    place(SettingStep, "SettingStep", 50, "Échelon E (codes)", 4);

    // The set-point's shape beside its height; the load and its period above.
    SettingInput = new QComboBox(this);
    SettingInput->addItems({say("échelon"), say("rampe")});
    place(SettingInput, "SettingInput", 70, "Consigne");

    x = 470;
    top = upperTop;
    caption(40, "Charge :")->setBuddy(SettingLoad = new QSpinBox(this));
    x += 2;
    SettingLoad->setRange(-maxLoad, maxLoad);
    SettingLoad->setKeyboardTracking(false);
    place(SettingLoad, "SettingLoad", 56, "Charge D (codes)");

    caption(18, "k =")->setBuddy(SettingLoadFrom = new QSpinBox(this));
    SettingLoadFrom->setRange(0, lastLoadPeriod);
    SettingLoadFrom->setKeyboardTracking(false);
    place(SettingLoadFrom, "SettingLoadFrom", 36, "Période k du début de la charge");

    showFreeSettings();
    for (QWidget *w : freeSettingControls_)
        switchOff(w);
    connect(SettingCorrector, &QComboBox::currentIndexChanged, this, &Tvitesse::applyFreeSettings);
    connect(SettingPeriod, &QComboBox::currentIndexChanged, this, &Tvitesse::applyFreeSettings);
    connect(SettingGain, &QDoubleSpinBox::valueChanged, this, &Tvitesse::applyFreeSettings);
    connect(SettingGainSlider, &QSlider::valueChanged, this, [this](int position) {
        const QSignalBlocker blocked(SettingGain);
        SettingGain->setValue(gainAtSliderPosition(position));
        applyFreeSettings();
    });
    connect(SettingStep, &QSpinBox::valueChanged, this, &Tvitesse::applyFreeSettings);
    connect(SettingInput, &QComboBox::currentIndexChanged, this, &Tvitesse::applyFreeSettings);
    connect(SettingLoad, &QSpinBox::valueChanged, this, &Tvitesse::applyFreeSettings);
    connect(SettingLoadFrom, &QSpinBox::valueChanged, this, &Tvitesse::applyFreeSettings);
}

void Tvitesse::showFreeSettings()
{
    const FreeSettings &s = controller.freeSettings();
    shownSettings_ = s;
    const QSignalBlocker a(SettingCorrector), b(SettingGain), c(SettingPeriod), d(SettingStep),
        e(SettingGainSlider), f(SettingInput), g(SettingLoad), h(SettingLoadFrom);
    SettingCorrector->setCurrentIndex(
        int(std::find(correctors.begin(), correctors.end(), s.corrector) - correctors.begin()));
    SettingGain->setNumbers(controller.numbers());
    SettingGain->setValue(s.gain);
    // A position that gives this gain stays where the hand left it.
    if (gainAtSliderPosition(SettingGainSlider->value()) != s.gain)
        SettingGainSlider->setValue(sliderPositionOfGain(s.gain));
    SettingPeriod->setCurrentIndex(
        int(std::find(periodChoices.begin(), periodChoices.end(), s.period) - periodChoices.begin()));
    SettingStep->setValue(s.step);
    SettingInput->setCurrentIndex(int(std::find(inputs.begin(), inputs.end(), s.input) - inputs.begin()));
    SettingLoad->setValue(s.load);
    SettingLoadFrom->setValue(s.loadFrom);
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
    s.corrector = correctors[std::size_t(std::max(0, SettingCorrector->currentIndex()))];
    s.gain = SettingGain->value();
    s.period = periodChoices[std::size_t(std::max(0, SettingPeriod->currentIndex()))];
    s.step = SettingStep->value();
    s.input = inputs[std::size_t(std::max(0, SettingInput->currentIndex()))];
    s.load = SettingLoad->value();
    s.loadFrom = SettingLoadFrom->value();
    if (const auto error = controller.setFreeSettings(s))
        QMessageBox::warning(this, QStringLiteral("Lodrix"), QString::fromStdString(*error));
    present();
}

} // namespace lodrix

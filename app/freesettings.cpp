// The settings of the free-setting entry: corrector, gain, sampling period
// and the run's horizon, step or ramp, and the load with its period, in the free strip under the
// form's controls, each placed here and filled, shown and read through its
// row in settings/settings.h. A change is handed to the controller, which
// stops the run and shows the idle picture with it.

#include "tvitesse.h"

#include "app/stripwidgets.h"

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "settings/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
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
// The views' chooser, under the views area in its place and under it enlarged.
constexpr QRect viewChooserRect{650, 472, 96, 18};
constexpr QRect viewLargeRect{748, 472, 50, 18};

// Each setting's control, by the setting's name: a list for a choice, a
// spin box for a number. They show and take the settings' values through
// the settings' rows.
std::vector<std::pair<std::string_view, QWidget *>> stripControls(const Tvitesse &w)
{
    std::vector<std::pair<std::string_view, QWidget *>> controls{
        {"corrector", w.SettingCorrector}, {"gain", w.SettingGain},      {"period", w.SettingPeriod},
        {"step", w.SettingStep},           {"input", w.SettingInput},    {"load", w.SettingLoad},
        {"loadfrom", w.SettingLoadFrom},   {"horizon", w.SettingHorizon}};
    for (const Tvitesse::CoefficientControl &c : w.coefficientControls)
        controls.emplace_back(c.name, c.control);
    return controls;
}

// The coefficients' rows at the scene's top right, clear of the arm's
// picture and of « On choisit ici »: the first for the correctors' times,
// zero and pole and the own equation's b, the second for its a and
// anti-windup. Each control has its place; a corrector shows its own only.
constexpr int coefficientLeft = 598;
constexpr int coefficientTopRow = 76;
constexpr int coefficientSecondRow = 138;
struct CoefficientPlace {
    const char *name;
    const char *caption;
    const char *accessible;
    int x;
    int y;
    int captionWidth;
    int width;
};
constexpr CoefficientPlace coefficientPlaces[] = {
    {"ti", "Ti =", "Temps d'intégration Ti (s)", coefficientLeft, coefficientTopRow, 26, 46},
    {"td", "Td =", "Temps de dérivation Td (s)", coefficientLeft + 78, coefficientTopRow, 26, 46},
    {"zero", "z0 =", "Zéro z0 de l'avance/retard de phase", coefficientLeft, coefficientTopRow, 26, 46},
    {"pole", "p0 =", "Pôle p0 de l'avance/retard de phase", coefficientLeft + 78, coefficientTopRow, 26, 46},
    {"b0", "b0", "Coefficient b0", coefficientLeft, coefficientTopRow, 16, 48},
    {"b1", "b1", "Coefficient b1", coefficientLeft + 68, coefficientTopRow, 16, 48},
    {"b2", "b2", "Coefficient b2", coefficientLeft + 136, coefficientTopRow, 16, 48},
    {"a1", "a1", "Coefficient a1", coefficientLeft, coefficientSecondRow, 16, 44},
    {"a2", "a2", "Coefficient a2", coefficientLeft + 64, coefficientSecondRow, 16, 44},
};
// Anti-windup at the second row's end, whatever the corrector.
constexpr QRect antiWindupPlace{coefficientLeft + 127, coefficientSecondRow, 75, 19};

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
    } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
        box->setChecked(value != 0.0);
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
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->isChecked() ? 1.0 : 0.0;
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
          "Gain G, échelle logarithmique de 0,1 à 1000");

    caption(22, "T =")->setBuddy(SettingPeriod = new QComboBox(this));
    place(SettingPeriod, "SettingPeriod", 98, "Période d'échantillonnage T", 4);

    // The run's horizon beside its period: « T = T1 sur 0,8 s ».
    caption(16, "sur")->setBuddy(SettingHorizon = new QComboBox(this));
    place(SettingHorizon, "SettingHorizon", 54, "Durée des courbes", 4);

    caption(20, "E =")->setBuddy(SettingStep = new QSpinBox(this));
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

    buildViewChooser();
    buildCoefficientControls();
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
        else if (auto *box = qobject_cast<QCheckBox *>(control))
            connect(box, &QCheckBox::toggled, this, &Tvitesse::applyFreeSettings);
    }
    buildFreeViewArea();
    connect(SettingGainSlider, &QSlider::valueChanged, this, [this](int position) {
        const QSignalBlocker blocked(SettingGain);
        SettingGain->setValue(gainAtSliderPosition(position));
        applyFreeSettings();
    });
}

void Tvitesse::buildViewChooser()
{
    ViewChooser = new QComboBox(this);
    for (int v = 0; v < freeViewCount; ++v)
        ViewChooser->addItem(say(freeViewLabel(FreeView(v))));
    ViewLarge = new QPushButton(say("En grand"), this);
    ViewLarge->setCheckable(true);
    for (auto [w, name, accessible, r] :
         {std::tuple<QWidget *, const char *, const char *, QRect>{ViewChooser, "ViewChooser", "Vue",
                                                                   viewChooserRect},
          {ViewLarge, "ViewLarge", "Agrandir la vue sur les courbes", viewLargeRect}}) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(r);
        w->setAccessibleName(say(accessible));
        w->setFocusPolicy(Qt::StrongFocus);
        viewControls_.push_back(w);
        designs_.push_back({w, 11, false, r});
        switchOff(w);
    }
    const auto apply = [this] {
        controller.setFreeViews({FreeView(std::clamp(ViewChooser->currentIndex(), 0, freeViewCount - 1)),
                                 ViewLarge->isChecked()});
        nameFreeView();
        present();
    };
    connect(ViewChooser, &QComboBox::currentIndexChanged, this, apply);
    connect(ViewLarge, &QPushButton::toggled, this, apply);
}

void Tvitesse::setFreeViews(FreeViews views)
{
    controller.setFreeViews(views);
    showFreeSettings();
    nameFreeView();
    present();
}

void Tvitesse::buildCoefficientControls()
{
    const auto design = [this](QWidget *w, const QRect &r) {
        w->setGeometry(r);
        designs_.push_back({w, 11, false, r});
    };
    for (const CoefficientPlace &p : coefficientPlaces) {
        auto *field = new NumberField(this, controller.numbers());
        field->setDecimals(4);
        field->setKeyboardTracking(false);
        field->setButtonSymbols(QAbstractSpinBox::NoButtons);
        field->setObjectName(QStringLiteral("Setting") + QString::fromLatin1(p.name).toUpper());
        field->setAccessibleName(say(p.accessible));
        field->setFocusPolicy(Qt::StrongFocus);
        auto *caption = new QLabel(say(p.caption), this);
        caption->setFont(uiFont(11, false));
        caption->setBuddy(field);
        design(caption, QRect(p.x, p.y + captionDrop, p.captionWidth, 13));
        design(field, QRect(p.x + p.captionWidth, p.y, p.width, stripHeight));
        coefficientControls.push_back({p.name, field, caption});
    }
    auto *antiWindup = new QCheckBox(say("Anti-emb."), this);
    antiWindup->setObjectName(QStringLiteral("SettingAntiWindup"));
    antiWindup->setAccessibleName(say("Anti-emballement : le correcteur retient la commande envoyée"));
    antiWindup->setFocusPolicy(Qt::StrongFocus);
    design(antiWindup, antiWindupPlace);
    coefficientControls.push_back({"antiwindup", antiWindup, nullptr});
    for (const CoefficientControl &c : coefficientControls) {
        switchOff(c.control);
        if (c.caption)
            switchOff(c.caption);
    }
}

// ---- The views box: what the hand does there goes to the controller.

void Tvitesse::buildFreeViewArea()
{
    const ViewBox box = freeViewBox(false);
    FreeViewArea = new ViewArea(this);
    FreeViewArea->setObjectName(QStringLiteral("FreeViewArea"));
    FreeViewArea->setGeometry(box.left, box.top, box.width, box.height);
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
}

Point Tvitesse::onForm(QPointF inViewArea) const
{
    const ViewBox box = freeViewBox(controller.freeViews().large);
    const double z = zoomFactor();
    return {box.left + int(std::floor(inViewArea.x() / z)), box.top + int(std::floor(inViewArea.y() / z))};
}

void Tvitesse::nameFreeView()
{
    FreeViewArea->setAccessibleName(say(freeViewAccessibleName(controller.freeViews().shown)));
    // The area lies over the view where it stands, in its place or enlarged.
    const ViewBox box = freeViewBox(controller.freeViews().large);
    for (Design &d : designs_)
        if (d.widget == FreeViewArea && d.rect != QRect(box.left, box.top, box.width, box.height)) {
            d.rect = QRect(box.left, box.top, box.width, box.height);
            applyLayout();
        }
}

void Tvitesse::showFreeSettings()
{
    const FreeSettings &s = controller.freeSettings();
    shownSettings_ = s;
    SettingGain->setNumbers(controller.numbers());
    for (const CoefficientControl &c : coefficientControls)
        if (auto *field = dynamic_cast<NumberField *>(c.control))
            field->setNumbers(controller.numbers());
    std::vector<QSignalBlocker> blocked;
    blocked.emplace_back(SettingGainSlider);
    for (const auto &[name, control] : stripControls(*this)) {
        const Setting &row = *findSetting(name);
        blocked.emplace_back(control);
        showValue(control, row, row.get(s));
    }
    blocked.emplace_back(ViewChooser);
    blocked.emplace_back(ViewLarge);
    ViewChooser->setCurrentIndex(static_cast<int>(controller.freeViews().shown));
    ViewLarge->setChecked(controller.freeViews().large);
    // A position that gives this gain stays where the hand left it.
    if (gainAtSliderPosition(SettingGainSlider->value()) != s.gain)
        SettingGainSlider->setValue(sliderPositionOfGain(s.gain));
    // The two-step corrector is computed from the period: it has no gain.
    SettingGain->setEnabled(SettingCorrector->isEnabled() && s.corrector != Corrector::TwoStep);
    SettingGainSlider->setEnabled(SettingGain->isEnabled());
    // A designed corrector's coefficients, while the strip is shown.
    for (const CoefficientControl &c : coefficientControls) {
        const bool on = !SettingCorrector->isHidden() && usesSetting(*findSetting(c.name), s.corrector) &&
                        findSetting(c.name)->usedBy;
        for (QWidget *w : {c.control, c.caption})
            if (w) {
                w->setVisible(on);
                w->setEnabled(on && SettingCorrector->isEnabled());
            }
    }
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

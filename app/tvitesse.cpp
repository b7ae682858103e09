#include "tvitesse.h"

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "app/canvas/rasterimage.h"
#include "app/richtextwriter.h"
#include "appicon.h"
#include "pages/pages.h"
#include "raster/formfit.h"

#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace lodrix {

namespace {

constexpr QSize sceneSize{785, 225};
constexpr QSize animSize{360, 140};
constexpr QSize designClientSize{800, 560}; // every control lies inside it
constexpr int itemHeightPx = 13;
constexpr qint64 maxCommentaryBytes = 16 * 1024 * 1024; // a commentary is a page or two
constexpr QRect noticeArea{16, 468, 330, 17};
constexpr int noticeMs = 4000; // long enough to read twice

template<class W> W *place(QWidget *parent, int left, int top, int width, int height)
{
    auto *w = new W(parent);
    w->setGeometry(left, top, width, height);
    return w;
}

void setTextColor(QWidget *w, QPalette::ColorRole role, Color c)
{
    QPalette p = w->palette();
    p.setColor(role, toQColor(c));
    w->setPalette(p);
}

QLabel *label(QWidget *parent, QRect r, const QString &text, int heightPx, bool bold, Color color)
{
    auto *l = place<QLabel>(parent, r.x(), r.y(), r.width(), r.height());
    l->setText(text);
    l->setFont(uiFont(heightPx, bold));
    setTextColor(l, QPalette::WindowText, color);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QListWidget *listBox(QWidget *parent, QRect r, const QStringList &items, Color color)
{
    auto *l = place<QListWidget>(parent, r.x(), r.y(), r.width(), r.height());
    l->setFont(uiFont(11, false));
    setTextColor(l, QPalette::Text, color);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const QString &text : items) {
        auto *item = new QListWidgetItem(text, l);
        item->setSizeHint(QSize(0, itemHeightPx));
    }
    l->setCurrentRow(-1);
    return l;
}

QTextEdit *richEdit(QWidget *parent, QRect r, const QString &text)
{
    // The commentaries ask for Arial. Where it is missing (any Linux desktop)
    // its metric twin from Debian's fonts-liberation2, a dependency of the
    // package, takes its place: not whatever sans serif the machine has, so
    // that a commentary breaks its lines alike everywhere.
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    auto *e = place<QTextEdit>(parent, r.x(), r.y(), r.width(), r.height());
    e->setReadOnly(true); // a commentary is read, not edited
    e->setPlainText(text);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, toQColor(clYellow));
    p.setColor(QPalette::Text, toQColor(clBlack));
    e->setPalette(p);
    e->hide();
    return e;
}

} // namespace

bool coversScreen(QRect frame, QRect screen)
{
    constexpr int slackPercent = 90;
    const QRect covered = frame & screen;
    return covered.width() * 100 >= screen.width() * slackPercent &&
           covered.height() * 100 >= screen.height() * slackPercent;
}

void switchOn(QWidget *w)
{
    w->setEnabled(true);
    w->setVisible(true);
}

void switchOff(QWidget *w)
{
    w->setEnabled(false);
    w->setVisible(false);
}

ImageControl::ImageControl(QWidget *parent, const RasterCanvas &canvas) : QWidget(parent), canvas_(canvas)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageControl::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!scaled_) {
        p.drawImage(0, 0, imageOf(canvas_));
        return;
    }
    for (const QRect &r : event->region())
        scaled_->paint(p, QPoint(), r);
}

QString Tvitesse::say(const char *french) const
{
    const std::string_view text = controller.language().tr(french);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

Tvitesse::Tvitesse(NumberFormat numbers, Language language)
    : windowCanvas(Surface::Window, designClientSize.width(), designClientSize.height()),
      sceneCanvas(Surface::Scene, sceneSize.width(), sceneSize.height()),
      bmpAnim(Surface::Anim, animSize.width(), animSize.height()),
      controller(*this, {windowCanvas, sceneCanvas, bmpAnim}, std::move(numbers), language)
{
    registerLodrixFonts();
    setWindowTitle(QStringLiteral("Lodrix"));
    setWindowIcon(appIcon());
    setFont(uiFont(11, false));
    setTextColor(this, QPalette::WindowText, clBlue);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Restored bounds; the window opens maximised and its controls never move.
    setGeometry(209, 179, 544, 375);

    buildControls();
    buildActions();
    buildLinkAction();
    applyLayout();

    bmpFond = QImage(QStringLiteral(":/FOND"));
    if (bmpFond.isNull())
        throw std::runtime_error(say("Impossible de charger la ressource bitmap \"FOND\".").toStdString());

    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(defaultIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &Tvitesse::Timer1Timer);
    Timer1->start();
}

Tvitesse::~Tvitesse() = default;

void Tvitesse::buildControls()
{
    FOND = new ImageControl(this, sceneCanvas);
    FOND->setGeometry(8, 16, sceneSize.width(), sceneSize.height());

    Label1 = label(this, {16, 0, 352, 16}, say("Asservissement de position - Correction numérique"), 13, true,
                   clMaroon);
    Label2 = label(this, {512, 0, 67, 13}, say("Logiciel libre"), 11, false, clMaroon);
    Label3 = label(this, {704, 0, 53, 13}, say("Version 1.2"), 11, false, clMaroon);
    Label4 = label(this, {16, 504, 45, 13}, say("MENU :"), 11, true, clNavy);

    ListBox1 = listBox(this, {88, 488, 241, 49},
                       {say("Présentation"), say("Réponse Indicielle en boucle ouverte"),
                        say("Boucle fermée : régulation Proportionnelle"),
                        say("Boucle fermée : compensation pôle + retard"),
                        say("Boucle fermée : réponse en deux coups"), say("Boucle fermée : réglage libre")},
                       clNavy);

    Label5 = label(this, {640, 496, 131, 13}, say("Réglage vitesse Animation :"), 11, false, clBlue);

    Button1 = place<QPushButton>(this, 488, 512, 105, 25);
    Button1->setText(say("Démarrer Animation"));
    Button1->setFont(uiFont(11, false));
    setTextColor(Button1, QPalette::ButtonText, clOlive);

    ScrollBar1 = place<QScrollBar>(this, 648, 512, 121, 16);
    ScrollBar1->setOrientation(Qt::Horizontal);
    ScrollBar1->setRange(minIntervalMs, maxIntervalMs);
    ScrollBar1->setValue(defaultIntervalMs);
    ScrollBar1->setPageStep(10);
    ScrollBar1->setSingleStep(1);

    ListBox2 = listBox(this, {392, 504, 65, 33}, {say("En continu"), say("Pas à pas")}, clMaroon);
    switchOff(ListBox2);
    Label6 = label(this, {384, 488, 80, 13}, say("Sélectionner :"), 11, true, clMaroon);
    switchOff(Label6);

    Button2 = place<QPushButton>(this, 472, 512, 121, 25);
    Button2->setText(say("Incrémenter la période"));
    setTextColor(Button2, QPalette::ButtonText, clBlue);
    switchOff(Button2);

    RichEdit1 = richEdit(this, {368, 248, 361, 217}, QStringLiteral("RichEdit1"));
    RichEdit2 = richEdit(this, {360, 24, 361, 465}, QStringLiteral("RichEdit2"));

    // Shown while the animation is held, under "MENU :", where nothing is drawn.
    pauseSign = label(this, {16, 522, 66, 13}, say("En pause"), 11, true, clMaroon);
    pauseSign->hide();

    // Just right of the commentary box's top corner, over nothing it shows.
    RichEdit2Close = place<QPushButton>(this, 722, 24, 16, 16);
    RichEdit2Close->setText(QStringLiteral("×"));
    RichEdit2Close->setFocusPolicy(Qt::StrongFocus);
    switchOff(RichEdit2Close);
    connect(RichEdit2Close, &QPushButton::clicked, this, [this] {
        controller.closeCommentary();
        present();
    });
    RichEdit2Close->installEventFilter(this);

    // Over the foot of the text area, a few seconds at a time.
    notice = label(this, noticeArea, QString(), 11, true, clNavy);
    notice->setAutoFillBackground(true);
    notice->setPalette([p = notice->palette()]() mutable {
        p.setColor(QPalette::Window, toQColor(clYellow));
        return p;
    }());
    notice->setIndent(4);
    notice->hide();
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    noticeTimer_->setInterval(noticeMs);
    connect(noticeTimer_, &QTimer::timeout, notice, &QWidget::hide);

    // The form's controls, once: the name by which tools and screen readers
    // find each, and the character height of its texts (0: the window's
    // font), with which every zoom lays it out from where it lies at 1x.
    struct FormControl {
        QWidget *widget;
        const char *name;
        int fontPx;
        bool bold;
    };
    const FormControl form[] = {{FOND, "FOND", 0, false},
                                {Label1, "Label1", 13, true},
                                {Label2, "Label2", 11, false},
                                {Label3, "Label3", 11, false},
                                {Label4, "Label4", 11, true},
                                {ListBox1, "ListBox1", 11, false},
                                {Label5, "Label5", 11, false},
                                {Button1, "Button1", 11, false},
                                {ScrollBar1, "ScrollBar1", 0, false},
                                {ListBox2, "ListBox2", 11, false},
                                {Label6, "Label6", 11, true},
                                {Button2, "Button2", 0, false},
                                {RichEdit1, "RichEdit1", 0, false},
                                {RichEdit2, "RichEdit2", 0, false},
                                {pauseSign, "pauseSign", 11, true},
                                {RichEdit2Close, "RichEdit2Close", 13, true},
                                {notice, "notice", 11, true}};
    for (const FormControl &c : form) {
        c.widget->setObjectName(QString::fromLatin1(c.name));
        designs_.push_back({c.widget, c.fontPx, c.bold, c.widget->geometry()});
        // Labels and the image lie beneath every windowed control; the
        // notice lies over the text area.
        if (c.widget == FOND || (qobject_cast<QLabel *>(c.widget) && c.widget != notice))
            c.widget->lower();
    }

    setTabOrder(ListBox1, Button1);
    setTabOrder(Button1, ScrollBar1);
    setTabOrder(ScrollBar1, ListBox2);
    setTabOrder(ListBox2, Button2);
    buildFreeSettings();
    setTabOrder(Button2, SettingCorrector);
    setTabOrder(SettingCorrector, SettingGain);
    setTabOrder(SettingGain, SettingGainSlider);
    setTabOrder(SettingGainSlider, SettingPeriod);
    setTabOrder(SettingPeriod, SettingStep);
    setTabOrder(SettingStep, SettingInput);
    setTabOrder(SettingInput, SettingLoad);
    setTabOrder(SettingLoad, SettingLoadFrom);
    setTabOrder(SettingLoadFrom, FreeViewArea);
    setTabOrder(FreeViewArea, RichEdit1);
    setTabOrder(RichEdit1, RichEdit2);
    setTabOrder(RichEdit2, RichEdit2Close);

    // A click runs the handler once; so does a change of selection from the
    // keyboard. A mouse press that changes the selection runs it at the change,
    // so the click that follows must not run it again. Only a selection
    // counts: focus arriving on an empty list makes its first item current
    // without selecting it, and that chooses nothing.
    auto wire = [this](QListWidget *list, void (Controller::*handler)(int)) {
        auto run = [this, list, handler] {
            (controller.*handler)(selectedRow(list));
            present();
        };
        connect(list, &QListWidget::itemSelectionChanged, this, [this, list, run] {
            if (selectedRow(list) < 0)
                return;
            clickChangedSelection_ = QGuiApplication::mouseButtons() != Qt::NoButton;
            run();
        });
        connect(list, &QListWidget::itemClicked, this, [this, run] {
            if (!clickChangedSelection_)
                run();
            clickChangedSelection_ = false;
        });
    };
    wire(ListBox1, &Controller::choix);
    wire(ListBox2, &Controller::choixbis);
    for (QWidget *w : std::initializer_list<QWidget *>{ListBox1, Button1, ScrollBar1, ListBox2, Button2})
        w->setFocusPolicy(Qt::StrongFocus);
    Button1->installEventFilter(this);
    Button2->installEventFilter(this);
    auto press = [this](QPushButton *button, void (Controller::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] {
            (controller.*handler)();
            present();
        });
    };
    press(Button1, &Controller::Button1Click);
    press(Button2, &Controller::Button2Click);
    connect(ScrollBar1, &QScrollBar::valueChanged, this,
            [this](int ms) { controller.setScrollPosition(ms); });
}

bool Tvitesse::eventFilter(QObject *watched, QEvent *event)
{
    // Enter presses a focused button, as Space does.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Tvitesse::clickListItem(QListWidget *list, int i)
{
    if (selectedRow(list) == i)
        emit list->itemClicked(list->item(i));
    else
        list->setCurrentRow(i);
}

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void Tvitesse::setOpLog(OpLog *log)
{
    windowCanvas.setLog(log);
    sceneCanvas.setLog(log);
    bmpAnim.setLog(log);
}

// ---- What the controller asks of the window ------------------------------------

QWidget *Tvitesse::widget(Control control) const
{
    switch (control) {
    case Control::ListBox2:
        return ListBox2;
    case Control::Label6:
        return Label6;
    case Control::Button1:
        return Button1;
    case Control::Button2:
        return Button2;
    case Control::RichEdit1:
        return RichEdit1;
    case Control::RichEdit2:
        return RichEdit2;
    case Control::B1:
        return B1;
    case Control::FreeSettings:
        return SettingCorrector; // with the rest of its group
    }
    return nullptr;
}

void Tvitesse::switchControl(Control control, bool on)
{
    if (control == Control::FreeSettings) {
        for (QWidget *w : freeSettingControls_)
            on ? switchOn(w) : switchOff(w);
        for (QWidget *w : viewControls_)
            on ? switchOn(w) : switchOff(w);
        on ? switchOn(FreeViewArea) : switchOff(FreeViewArea);
        showFreeSettings();
        showKeptActions(on);
        return;
    }
    if (QWidget *w = widget(control))
        on ? switchOn(w) : switchOff(w);
}

void Tvitesse::hideControl(Control control)
{
    if (QWidget *w = widget(control))
        w->hide();
}

void Tvitesse::createCommentaryButton()
{
    // A fresh button each time, with a palette of its own, would leave one
    // more picture of its bevel in the style's cache every time: the
    // controller asks for it once and switches it on again at every end tick.
    if (B1)
        return;
    B1 = new QPushButton(say("Commentaires"), this);
    B1->setObjectName(QStringLiteral("B1"));
    B1->setGeometry(680, 40, 100, 30);
    designs_.push_back({B1, 13, false, B1->geometry()});
    setTextColor(B1, QPalette::ButtonText, clBlue);
    connect(B1, &QPushButton::clicked, this, [this] {
        controller.B1Click();
        present();
    });
    B1->installEventFilter(this);
    setTabOrder(RichEdit2Close, B1);
    describeCommentaryButton();
    applyLayout();
}

void Tvitesse::tell(const QString &text)
{
    notice->setText(text);
    notice->setAccessibleName(text);
    // As wide as its design, or as its text when that is longer (within the
    // window), and as tall as its lines, growing upwards from the design's foot.
    const QRect area = onWindow(noticeArea);
    const QSize hint = notice->sizeHint();
    const int height = std::max(area.height(), hint.height());
    notice->setGeometry(area.left(), area.bottom() + 1 - height,
                        std::min(std::max(area.width(), hint.width()), width() - area.left()), height);
    notice->raise();
    notice->show();
    noticeTimer_->start();
    // Read out at once, as a status message is, wherever the focus is.
    QAccessibleEvent event(notice, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

std::optional<std::string> Tvitesse::setFreeSettings(const FreeSettings &settings)
{
    auto error = controller.setFreeSettings(settings);
    present();
    return error;
}

QRect Tvitesse::formRect(const QString &name) const
{
    QRect r;
    if (name == QLatin1String("FreeSettings")) {
        for (const QWidget *w : freeSettingControls_)
            r |= w->geometry();
    } else if (const auto *w = findChild<const QWidget *>(name)) {
        r = w->geometry();
    }
    if (r.isEmpty())
        return {};
    // Back from the window's pixels to the form's.
    const double z = zoomFactor();
    const QRectF f(r.translated(-origin_));
    return QRect(int(std::lround(f.x() / z)), int(std::lround(f.y() / z)), int(std::lround(f.width() / z)),
                 int(std::lround(f.height() / z)));
}

// ---- The tick ---------------------------------------------------------------

void Tvitesse::Timer1Timer()
{
    controller.Timer1Timer();
    // Re-arming the timer only on a change keeps a steady beat.
    if (Timer1->interval() != controller.interval())
        Timer1->setInterval(controller.interval());
    present();
}

void Tvitesse::redraw()
{
    controller.redraw();
    present();
}

void Tvitesse::present()
{
    const bool paused = controller.paused();
    if (pauseSign->isHidden() == paused) {
        pauseSign->setVisible(paused);
        setWindowTitle(paused ? say("Lodrix (en pause)") : QStringLiteral("Lodrix"));
    }
    describeSurfaces();
    if (controller.freeSettings() != shownSettings_)
        showFreeSettings();
    if (RichEdit2Close->isHidden() != RichEdit2->isHidden())
        RichEdit2->isHidden() ? switchOff(RichEdit2Close) : switchOn(RichEdit2Close);
    // Only what was painted: repainting the whole client area would
    // repaint every control over it on every tick, which costs more than
    // drawing the frame. bmpAnim reaches the screen through the scene.
    const QRect scene = toQRect(sceneCanvas.takeDirtyRect());
    const QRect window = toQRect(windowCanvas.takeDirtyRect());
    bmpAnim.takeDirtyRect();
    if (zoomFactor() == 1.0 && laidOutRatio_ == 1.0) {
        FOND->update(scene);
        update(window);
        return;
    }
    // Scaled, only what differs from the last frame is grown and repainted.
    for (const QRect &r : scaledScene_.update(imageOf(sceneCanvas), scene, zoomFactor(), laidOutRatio_))
        FOND->update(ScaledPicture::zoomed(r, zoomFactor()));
    for (const QRect &r : scaledWindow_.update(imageOf(windowCanvas), window, zoomFactor(), laidOutRatio_))
        update(onWindow(r));
}

void Tvitesse::paintEvent(QPaintEvent *event)
{
    // Moved to a screen of another pixel ratio: lay the form out again.
    if (devicePixelRatioF() != laidOutRatio_) {
        applyLayout();
        return;
    }
    QPainter p(this);
    const QRect form(origin_, ScaledPicture::zoomed(QRect(QPoint(), designClientSize), zoomFactor()).size());
    // Around the form (a large window, full screen) the button face.
    for (const QRect &outside : QRegion(event->rect()).subtracted(form))
        p.fillRect(outside, toQColor(clFace));
    if (zoomFactor() == 1.0 && laidOutRatio_ == 1.0) {
        const QRect r = event->rect() & form;
        p.drawImage(r.topLeft(), imageOf(windowCanvas), r.translated(-origin_));
        return;
    }
    for (const QRect &r : event->region() & form)
        scaledWindow_.paint(p, origin_, r.translated(-origin_));
}

void Tvitesse::resizeEvent(QResizeEvent *)
{
    if (formFullScreen_)
        applyLayout();
}

QRect Tvitesse::onWindow(QRect formArea) const
{
    return ScaledPicture::zoomed(formArea, zoomFactor()).translated(origin_);
}

void Tvitesse::applyLayout()
{
    const double ratio = devicePixelRatioF();
    if (formFullScreen_) {
        // The page's rule, on the screen's device pixels; never below the
        // design size, which the growth of the canvases does not go under.
        const double deviceScale = fillingScale(width() * ratio, height() * ratio, designClientSize.width(),
                                                designClientSize.height());
        fullScreenZoom_ = std::max(1.0, deviceScale / ratio);
        const QSize form = ScaledPicture::zoomed(QRect(QPoint(), designClientSize), zoomFactor()).size();
        origin_ =
            QPoint(std::max(0, (width() - form.width()) / 2), std::max(0, (height() - form.height()) / 2));
    } else {
        origin_ = QPoint();
    }
    laidOutRatio_ = ratio;
    const double z = zoomFactor();
    setFont(uiFont(11, false, z, ratio));
    for (const Design &d : designs_) {
        if (d.fontPx > 0)
            d.widget->setFont(uiFont(d.fontPx, d.bold, z, ratio));
        QRect r = onWindow(d.rect);
        // The scene's grown picture starts at the control's corner: at a scale
        // that puts the corner between device pixels, rounding the control
        // outwards on both sides would leave a column and a row unpainted.
        if (d.widget == FOND)
            r.setSize(ScaledPicture::zoomed(QRect(QPoint(), d.rect.size()), z).size());
        // A label's outline text may run a little wider than the bitmap one
        // its box was made for: the box grows rather than cut it.
        if (const auto *l = qobject_cast<QLabel *>(d.widget))
            r.setWidth(std::max(r.width(), l->sizeHint().width()));
        d.widget->setGeometry(r);
    }
    for (QListWidget *list : {ListBox1, ListBox2}) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSizeHint(QSize(0, int(std::lround(itemHeightPx * z))));
    }
    const bool scaled = z != 1.0 || ratio != 1.0;
    if (scaled) {
        scaledScene_.update(imageOf(sceneCanvas), imageOf(sceneCanvas).rect(), z, ratio);
        scaledWindow_.update(imageOf(windowCanvas), imageOf(windowCanvas).rect(), z, ratio);
    }
    FOND->showScaled(scaled ? &scaledScene_ : nullptr);
    FOND->update();
    update();
}

void Tvitesse::setZoom(int percent)
{
    zoom_ = std::clamp(percent, zoomSteps[0], std::end(zoomSteps)[-1]);
    applyLayout();
}

void Tvitesse::setFormFullScreen(bool on)
{
    if (on == formFullScreen_)
        return;
    formFullScreen_ = on;
    if (on) {
        showFullScreen();
        applyLayout();
    } else {
        showMaximized();
        applyLayout();
    }
}

// ---- Commentaries -----------------------------------------------------------

QStringList Tvitesse::commentaryDirectories() const
{
    // The teacher's own first: the user's data folder ($XDG_DATA_HOME/lodrix,
    // ~/.local/share/lodrix by default), then the current directory; then
    // the installed data, found from the executable so that an installation
    // under any prefix works; then the executable's directory, where the
    // build puts a copy.
    const QString exe = QCoreApplication::applicationDirPath();
    const QString teachers =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/lodrix");
    QStringList dirs{teachers, QDir::currentPath(),
                     QDir::cleanPath(exe + QStringLiteral("/../" LODRIX_DATA_SUBDIR)),
                     QStringLiteral(LODRIX_DATADIR), exe};
    dirs.removeDuplicates();
    return dirs;
}

QString Tvitesse::findCommentary(const QString &name) const
{
    for (const QString &dir : commentaryDirectories()) {
        const QString path = QDir(dir).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

void Tvitesse::showCommentary(const char *fileName)
{
    RichEdit2->show();
    const QString name = QString::fromUtf8(fileName);
    const QString path = findCommentary(name);
    QString why;
    if (path.isEmpty()) {
        why = say("Fichier introuvable.");
    } else if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else if (file.size() > maxCommentaryBytes) {
        why = say("Fichier trop volumineux pour un commentaire.");
    } else {
        // Read into a new document, so a failure leaves the box as it was.
        // The box frees only its own first document when given another; one
        // of ours it replaces is freed here, or every press would keep one.
        auto *document = new QTextDocument(RichEdit2);
        if (readRtf(file.readAll(), *document, &why)) {
            QTextDocument *previous = RichEdit2->document();
            const bool previousIsOurs = previous->parent() == RichEdit2;
            RichEdit2->setDocument(document);
            if (previousIsOurs)
                delete previous;
            return;
        }
        delete document;
        why = say(why.toUtf8().constData()); // the reader's French, in the window's language
    }
    // A missing or broken commentary never stops the lesson: say so and go on.
    auto *box =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Lodrix"),
                        say("Impossible d'ouvrir le commentaire « %1 ».").arg(name), QMessageBox::Ok, this);
    box->setInformativeText(why);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace lodrix

#pragma once
// The Lodrix window, a thin Qt shell over the controller: it builds the
// controls, turns their clicks and the timer's ticks into controller calls,
// shows the three drawing surfaces and applies what the controller reports.
//   [x] the form's controls, keyboard (Tab order, arrows, Space and Enter)
//   [x] the timer at the scroll bar's interval
//   [x] the commentaries, read by our RTF reader into the read-only box,
//       a teacher's own first (the user's data folder)
//   [x] links that open an experiment, and the link of what it shows
//   [x] the free-setting strip, its gain slider applied at every move, and
//       K / Shift+K to keep and clear runs on that entry
//   [ ] nothing of a lesson is decided here: that is the controller's

#include "app/scaledpicture.h"
#include "app/stripwidgets.h"
#include "app/viewarea.h"
#include "engine/controller.h"
#include "engine/link.h"
#include "raster/rastercanvas.h"

#include <QImage>
#include <QUrl>
#include <QWidget>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QComboBox;
class QSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QShortcut;
class QTextEdit;
class QTimer;

namespace lodrix {

// An image control: shows a canvas image that persists between repaints,
// grown to the device's pixels when the form is zoomed or the screen scaled.
class ImageControl final : public QWidget {
public:
    ImageControl(QWidget *parent, const RasterCanvas &canvas);
    // Shows `scaled` instead of the 1x image; nullptr: the image itself.
    void showScaled(const ScaledPicture *scaled) { scaled_ = scaled; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    const RasterCanvas &canvas_;
    const ScaledPicture *scaled_ = nullptr;
};

// The page the desktop's links open: a whole address, to which a link adds
// its query.
struct PageAddress {
    QUrl url;      // empty: no page on this machine, and none named
    QString named; // "--page-url" or "LODRIX_PAGE_URL" when the teacher named it
};

// The page on this machine: the one installed with the program
// (share/lodrix/lodrix.html beside its bin/), else the build's own
// (web/lodrix.html beside bin/ in the build tree); empty where there is none.
QUrl localPage();

// The page links open: `option` (--page-url) when given, else
// LODRIX_PAGE_URL when set, else localPage(). A named address that is not a
// whole http, https or file address without a query or fragment is refused:
// nothing, and *why says so in `language`.
std::optional<PageAddress> choosePage(const std::optional<QString> &option, const Language &language,
                                      QString *why);

// The zoom steps of the form, in percent: Ctrl++ and Ctrl+- go from one to
// the next.
inline constexpr int zoomSteps[] = {100, 125, 150, 200, 250, 300};

class Tvitesse final : public QWidget, private ControllerShell {
public:
    // Throws std::runtime_error when the "FOND" bitmap cannot be loaded.
    // Every text of the window, and of the lessons, is in `language`.
    explicit Tvitesse(NumberFormat numbers = NumberFormat(), Language language = Language());

    // A text of the window, written in French, in the window's language.
    QString say(const char *french) const;
    ~Tvitesse() override;

    // The timer's tick: the controller's, then the repaint of what it drew.
    void Timer1Timer();
    // The frame on screen drawn again, then repainted: it changes nothing.
    void redraw();

    // A click on item i of a list box, as a person makes it: one handler run.
    void clickListItem(QListWidget *list, int i);

    QImage bmpFond;
    RasterCanvas windowCanvas; // the client area of the form, painted under the controls
    RasterCanvas sceneCanvas;  // FOND's surface
    RasterCanvas bmpAnim;
    Controller controller;

    QTimer *Timer1;
    ImageControl *FOND;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QListWidget *ListBox1;
    QLabel *Label5;
    QPushButton *Button1;
    QScrollBar *ScrollBar1;
    QListWidget *ListBox2;
    QLabel *Label6;
    QPushButton *Button2;
    QTextEdit *RichEdit1;
    QTextEdit *RichEdit2;
    QPushButton *B1 = nullptr;   // "Commentaires", made at the first end tick
    QPushButton *RichEdit2Close; // the commentary box's close control, shown with it
    // A short message of what an action did, which goes away by itself and
    // is read by screen readers.
    QLabel *notice;
    void tell(const QString &text);

    // The settings of « Boucle fermée : réglage libre », in the free strip
    // under the controls, shown for that entry only.
    QComboBox *SettingCorrector;
    NumberField *SettingGain;
    GainSlider *SettingGainSlider;
    QComboBox *SettingPeriod;
    QSpinBox *SettingStep;
    QComboBox *SettingInput;
    QSpinBox *SettingLoad;
    QSpinBox *SettingLoadFrom;
    QComboBox *SettingHorizon;
    // The views area beside the plots: which view, and enlarged or not.
    QComboBox *ViewChooser;
    QPushButton *ViewLarge;
    // The designed correctors' coefficients and anti-windup, each with its
    // caption, in two rows of their own at the scene's top right, shown for
    // the corrector that uses them: by setting name.
    struct CoefficientControl {
        std::string_view name;
        QWidget *control;
        QWidget *caption;
    };
    std::vector<CoefficientControl> coefficientControls;
    // The views box beside the plots, over the window's drawing of it: the
    // pointer and the arrow keys design there (app/viewarea.h).
    ViewArea *FreeViewArea;

    // The classroom actions, on their keys and in the form's right-click
    // menu: pause (P, Pause), one frame (N), export the run (Ctrl+E), save
    // and copy the picture (Ctrl+S, Ctrl+C), about.
    QAction *pauseAction;
    QAction *stepAction;
    QAction *keptSeparator = nullptr;
    QAction *keepAction = nullptr;
    QAction *clearKeptAction = nullptr;
    QAction *exportAction;
    QAction *saveAction;
    QAction *copyAction;
    QAction *aboutAction;
    QLabel *pauseSign; // in the free part of the form, under "MENU :"

    QAction *zoomInAction;
    QAction *zoomOutAction;
    QAction *zoomResetAction;
    QAction *fullScreenAction;
    QAction *leaveFullScreenAction;

    // The whole form, controls, texts and canvases, drawn at `percent` % of
    // its design size (100 to 300).
    void setZoom(int percent);
    int zoom() const { return zoom_; }
    // What the form is drawn at now, 1.0 at its design size: the zoom, or in
    // full screen the screen's own scale.
    double zoomFactor() const { return formFullScreen_ ? fullScreenZoom_ : zoom_ / 100.0; }
    // F11: full screen, the form as large as the page draws it in a window of
    // the screen's size (raster/formfit.h), centred on the button face; the
    // zoom steps wait meanwhile, and leaving restores the window at its zoom.
    void setFormFullScreen(bool on);
    bool formFullScreen() const { return formFullScreen_; }
    // Where the form's top-left corner lies in the window (not at (0, 0)
    // only in full screen).
    QPoint formOrigin() const { return origin_; }

    // What the export and the picture actions write, without their dialogs.
    QString defaultRunFileName() const;
    QString defaultPictureFileName() const;
    bool saveRun(const QString &path, QString *why = nullptr) const;
    QImage picture();

    // Links that open an experiment (engine/link.h). A link read without
    // error applied as the page applies one at load, the lists and the
    // scroll bar showing what it chose; the link of what is on screen, the
    // page's address and its query, which the action puts in the clipboard
    // (copyLink(), which returns the message that confirms it).
    void openLink(const Link &link);
    QString link() const;
    QString copyLink();
    QAction *copyLinkAction = nullptr;
    // The page links open; localPage() until set.
    void setPage(PageAddress page) { page_ = std::move(page); }
    const PageAddress &page() const { return page_; }

    // The free-setting entry's settings as a person sets them: handed to
    // the controller, its refusal returned, the strip showing them.
    std::optional<std::string> setFreeSettings(const FreeSettings &settings);
    // The views area as a person chooses it: the chooser shows it.
    void setFreeViews(FreeViews views);

    // Where a control of the state line lies on the form, in form pixels
    // (the free strip "FreeSettings" as a whole); empty for none.
    QRect formRect(const QString &name) const;

    // Logs every canvas call of the three surfaces into log (nullptr: none).
    void setOpLog(OpLog *log);

    // Where the commentary files are looked for, in order; the path of the
    // first one found, or empty.
    QStringList commentaryDirectories() const;
    QString findCommentary(const QString &name) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    void buildControls();
    QWidget *widget(Control control) const;
    void buildActions();
    void showKeptActions(bool shown);
    void buildLinkAction();
    void buildFreeSettings();
    void buildCoefficientControls();
    // The settings' controls show the controller's settings.
    void showFreeSettings();
    void applyFreeSettings();
    void buildViewChooser();
    void buildFreeViewArea();
    // Form pixels of a point of the views box, given in its own pixels.
    Point onForm(QPointF inViewArea) const;
    // Its name follows the view shown.
    void nameFreeView();
    void describeSurfaces();
    void describeCommentaryButton();
    void exportRun();
    void savePicture();
    void showAbout();
    // The keys, one a line, for the about box.
    QString keysHelp() const;
    // After every controller call: the screen shows what it drew, the pause
    // sign and the descriptions read to a screen reader follow.
    void present();

    void switchControl(Control control, bool on) override;
    void hideControl(Control control) override;
    void createCommentaryButton() override;
    void showCommentary(const char *name) override;

    // Lays every control out at the zoom and on the screen's pixel ratio;
    // the canvases follow.
    void applyLayout();
    // The logical window rectangle of a 1x area of the form.
    QRect onWindow(QRect formArea) const;

    struct Design {
        QWidget *widget;
        int fontPx; // character height; 0: the window's font
        bool bold;
        QRect rect;
    };
    std::vector<Design> designs_;
    std::vector<QWidget *> freeSettingControls_; // with their labels
    std::vector<QWidget *> viewControls_;        // the views' chooser, shown with them
    FreeSettings shownSettings_;
    int zoom_ = 100;
    double fullScreenZoom_ = 1.0;
    bool formFullScreen_ = false;
    QPoint origin_;
    double laidOutRatio_ = 1.0; // the device pixel ratio of the last layout
    ScaledPicture scaledWindow_;
    ScaledPicture scaledScene_;
    bool clickChangedSelection_ = false;
    QTimer *noticeTimer_ = nullptr;
    QShortcut *keepElsewhere_ = nullptr;
    PageAddress page_{localPage(), {}};
};

// The selected item of a single-selection list, -1 when none is: the
// current item alone (the keyboard focus's) chooses nothing.
int selectedRow(const QListWidget *list);

// Whether a window's frame covers (nearly) all of a screen, as a maximised
// one does: a window manager's decorations and panels may take a little.
bool coversScreen(QRect frame, QRect screen);

// Enabled then visible, or disabled then hidden, as a pair.
void switchOn(QWidget *w);
void switchOff(QWidget *w);

} // namespace lodrix

#pragma once
// The Lodrix window, a thin Qt shell over the controller: it builds the
// controls, turns their clicks and the timer's ticks into controller calls,
// shows the three drawing surfaces and applies what the controller reports.
//   [x] the form's controls, keyboard (Tab order, arrows, Space and Enter)
//   [x] the timer at the scroll bar's interval
//   [x] the commentaries, read by our RTF reader into the read-only box
//   [ ] nothing of a lesson is decided here: that is the controller's

#include "engine/controller.h"
#include "render/qt/qpaintercanvas.h"

#include <QImage>
#include <QWidget>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTextEdit;
class QTimer;

namespace lodrix {

// An image control: shows a canvas image that persists between repaints.
class ImageControl final : public QWidget {
public:
    ImageControl(QWidget *parent, QPainterCanvas &canvas);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QPainterCanvas &canvas_;
};

class Tvitesse final : public QWidget, private ControllerShell {
public:
    // Throws std::runtime_error when the "FOND" bitmap cannot be loaded.
    explicit Tvitesse(NumberFormat numbers = NumberFormat());
    ~Tvitesse() override;

    // The timer's tick: the controller's, then the repaint of what it drew.
    void Timer1Timer();

    // A click on item i of a list box, as a person makes it: one handler run.
    void clickListItem(QListWidget *list, int i);

    QImage bmpFond;
    QPainterCanvas windowCanvas; // the client area, painted under the controls
    QPainterCanvas sceneCanvas;  // FOND's surface
    QPainterCanvas bmpAnim;
    Controller controller;
    AnimationState &anim; // the controller's, for tools and tests
    ModelState &model;

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
    QPushButton *B1 = nullptr; // "Commentaires", made at the first end tick

    // The classroom actions, on their keys and in the form's right-click
    // menu: pause (P, Pause), one frame (N), export the run (Ctrl+E), save
    // and copy the picture (Ctrl+S, Ctrl+C), about.
    QAction *pauseAction;
    QAction *stepAction;
    QAction *exportAction;
    QAction *saveAction;
    QAction *copyAction;
    QAction *aboutAction;
    QLabel *pauseSign; // in the free part of the form, under "MENU :"

    // What the export and the picture actions write, without their dialogs.
    QString defaultRunFileName() const;
    QString defaultPictureFileName() const;
    bool saveRun(const QString &path, QString *why = nullptr) const;
    QImage picture();

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
    void describeSurfaces();
    void describeCommentaryButton();
    void exportRun();
    void savePicture();
    void showAbout();
    // After every controller call: the screen shows what it drew, the pause
    // sign and the descriptions read to a screen reader follow.
    void present();

    void switchControl(Control control, bool on) override;
    void hideControl(Control control) override;
    void createCommentaryButton() override;
    void showCommentary(const char *name) override;

    bool clickChangedSelection_ = false;
};

// The selected item of a single-selection list, -1 when none is: the
// current item alone (the keyboard focus's) chooses nothing.
int selectedRow(const QListWidget *list);

// Enabled then visible, or disabled then hidden, as a pair.
void switchOn(QWidget *w);
void switchOff(QWidget *w);

} // namespace lodrix

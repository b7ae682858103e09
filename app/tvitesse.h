#pragma once
// The Lodrix window: every control, the timer that drives the animation, the
// three drawing surfaces and the state the handlers and the tick share.

#include "engine/animation.h"
#include "model/modelstate.h"
#include "render/numberformat.h"
#include "render/qt/qpaintercanvas.h"

#include <QImage>
#include <QWidget>

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

class Tvitesse final : public QWidget {
public:
    // Throws std::runtime_error when the "FOND" bitmap cannot be loaded.
    explicit Tvitesse(NumberFormat numbers = NumberFormat());
    ~Tvitesse() override;

    // Handlers, named after their control and event.
    void Timer1Timer();
    void choix();
    void choixbis();
    void Button1Click();
    void Button2Click();
    void B1Click();

    // A click on item i of a list box, as a person makes it: one handler run.
    void clickListItem(QListWidget *list, int i);

    AnimationState anim;
    ModelState model;

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

    QImage bmpFond;
    QPainterCanvas windowCanvas; // the client area, painted under the controls
    QPainterCanvas sceneCanvas;  // FOND's surface
    QPainterCanvas bmpAnim;

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
    void drawFrame(const Frame &frame);
    void createB1();
    void clearTextArea();
    void hideCommentary();
    void resetArm();
    void repaintSurfaces();

    NumberFormat numbers_;
    bool clickChangedSelection_ = false;
};

// The selected item of a single-selection list, -1 when none is: the
// current item alone (the keyboard focus's) chooses nothing.
int selectedRow(const QListWidget *list);

// Enabled then visible, or disabled then hidden, as a pair.
void switchOn(QWidget *w);
void switchOff(QWidget *w);

} // namespace lodrix

// The handlers of the window: what every user action does to the state and
// to the controls, on the real window.

#include "app/tvitesse.h"
#include "render/qt/colors.h"
#include "render/qt/fonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <memory>

using namespace lodrix;

namespace {

bool on(const QWidget *w)
{
    return w && !w->isHidden() && w->isEnabled();
}
bool off(const QWidget *w)
{
    return w && w->isHidden() && !w->isEnabled();
}

QRgb pixel(const Tvitesse &w, int x, int y)
{
    return w.windowCanvas.image().pixel(x, y);
}

} // namespace

class TestHandlers : public QObject {
    Q_OBJECT

    std::unique_ptr<Tvitesse> w;

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            w->Timer1Timer();
    }
    void menu(int i) { w->clickListItem(w->ListBox1, i); }
    void mode(int i) { w->clickListItem(w->ListBox2, i); }
    // Something drawn in the text area, to see whether a handler clears it.
    void scribble()
    {
        w->windowCanvas.pen.color = clRed;
        w->windowCanvas.line(300, 300, 310, 300);
    }
    bool textAreaCleared() const { return pixel(*w, 300, 300) == toQColor(clFace).rgb(); }

private slots:
    void init()
    {
        w = std::make_unique<Tvitesse>(NumberFormat(","));
        w->Timer1->stop(); // ticks come from the test
        w->show();
    }
    void cleanup() { w.reset(); }

    void startUp()
    {
        QVERIFY(on(w->ListBox1) && on(w->Button1));
        QVERIFY(off(w->ListBox2) && off(w->Label6) && off(w->Button2));
        QVERIFY(w->RichEdit1->isHidden() && w->RichEdit2->isHidden());
        QCOMPARE(w->bmpFond.pixel(100, 100), qRgb(215, 215, 215));
    }

    // Focus arriving on the menu makes its first item current without
    // selecting it: nothing is chosen, and the start button starts nothing
    // until a person chooses.
    void focusChoosesNothing()
    {
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(w->ListBox1, &focusIn);
        QCOMPARE(w->ListBox1->currentRow(), 0);
        QCOMPARE(w->anim.rubrique, -1);
        w->Button1->click();
        tick();
        QCOMPARE(w->anim.compteur, 0);
        QTest::keyClick(w->ListBox1, Qt::Key_Space);
        QCOMPARE(w->anim.rubrique, 0);
    }

    void scrollBarSetsTheIntervalFromTheNextTick()
    {
        QCOMPARE(w->Timer1->interval(), 50);
        w->ScrollBar1->setValue(10);
        QCOMPARE(w->Timer1->interval(), 50);
        tick();
        QCOMPARE(w->Timer1->interval(), 10);
    }

    // A menu choice stops the run, clears the plots and the arm, keeps the
    // chosen mode, and offers the button that mode starts with. Choosing the
    // running entry again does the same.
    void menuChoice_data()
    {
        QTest::addColumn<int>("modeBefore"); // -1: none chosen yet
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("modeList");
        QTest::addColumn<bool>("startButton"); // else "Incrémenter la période"
        QTest::addRow("presentation after step mode") << 1 << 0 << false << true;
        QTest::addRow("open loop") << -1 << 1 << false << true;
        QTest::addRow("closed loop in step mode") << 1 << 2 << true << false;
        QTest::addRow("closed loop, continuous") << 0 << 4 << true << true;
        QTest::addRow("closed loop, no mode yet") << -1 << 4 << true << true;
        QTest::addRow("the running entry again") << 0 << 3 << true << true;
    }
    void menuChoice()
    {
        QFETCH(int, modeBefore);
        QFETCH(int, entry);
        QFETCH(bool, modeList);
        QFETCH(bool, startButton);
        menu(3);
        if (modeBefore >= 0)
            mode(modeBefore);
        w->Button1Click();
        tick(3);
        w->anim.periode = 5;
        w->model.theta = 0.3;
        scribble();
        menu(entry);
        QCOMPARE(w->anim.rubrique, entry);
        QCOMPARE(w->anim.compteur, 0);
        QCOMPARE(w->anim.periode, entry >= 2 ? 0 : 5);
        QCOMPARE(w->anim.modeAnimation, modeBefore);
        QCOMPARE(w->model.theta, 0.0);
        QVERIFY(textAreaCleared());
        QVERIFY(modeList ? on(w->ListBox2) && on(w->Label6) : off(w->ListBox2) && off(w->Label6));
        QVERIFY(startButton ? on(w->Button1) && off(w->Button2) : off(w->Button1) && on(w->Button2));
    }

    void modes()
    {
        menu(2);
        mode(1);
        QVERIFY(off(w->Button1) && on(w->Button2));
        w->Button2->click();
        w->Button2->click();
        mode(0);
        QCOMPARE(w->anim.modeAnimation, 0);
        QCOMPARE(w->anim.compteur, 0);
        QCOMPARE(w->anim.periode, 2); // "En continu" leaves the period reached
        QVERIFY(on(w->Button1) && off(w->Button2));
    }

    void startTable_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("compteur");
        QTest::addRow("nothing chosen") << -1 << 0;
        QTest::addRow("presentation") << 0 << -1;
        QTest::addRow("open loop") << 1 << 1;
        QTest::addRow("proportional") << 2 << 1001;
        QTest::addRow("pole compensation") << 3 << 2001;
        QTest::addRow("two-step") << 4 << 3001;
    }
    void startTable()
    {
        QFETCH(int, entry);
        QFETCH(int, compteur);
        if (entry >= 0)
            menu(entry);
        w->anim.periode = 4;
        scribble();
        w->Button1->click();
        QCOMPARE(w->anim.compteur, compteur);
        QCOMPARE(w->anim.periode, entry >= 2 ? 0 : 4);
        QVERIFY(textAreaCleared());
    }

    // The end of a run shows "Commentaires"; the press after period 8
    // clears the plots, hides it and plays period 1. Only one button is kept,
    // however many runs end.
    void commentaryButton()
    {
        const int buttonsBefore = w->findChildren<QPushButton *>().size();
        menu(3);
        mode(1);
        for (int k = 1; k <= 8; ++k) {
            w->Button2->click();
            tick(45);
        }
        QCOMPARE(w->anim.compteur, 2320);
        QCOMPARE(w->anim.B1existe, 1);
        QVERIFY(on(w->B1));
        QCOMPARE(w->B1->text(), QStringLiteral("Commentaires"));
        scribble();
        w->Button2->click();
        QVERIFY(off(w->B1));
        QVERIFY(textAreaCleared());
        QCOMPARE(w->anim.compteur, 2001);
        QCOMPARE(w->anim.periode, 1);
        QCOMPARE(w->model.thetaPrec, 0.0);

        mode(0);
        for (int run = 0; run < 2; ++run) {
            w->Button1->click();
            QVERIFY(off(w->B1));
            tick(330);
            QVERIFY(on(w->B1));
        }
        QCOMPARE(w->findChildren<QPushButton *>().size(), buttonsBefore + 1);
    }

    void periodPressSetsTheStartAngle()
    {
        menu(2);
        mode(1);
        w->Button2->click();
        tick(10);
        w->model.theta = 0.2;
        w->Button2->click(); // in the middle of period 1
        QCOMPARE(w->anim.compteur, 1040);
        QCOMPARE(w->model.thetaPrec, 0.027);
        QCOMPARE(w->model.theta, 0.0);
    }

    void pressOutsideStepModeOnlyResets()
    {
        menu(2);
        w->Button1->click();
        tick(20);
        w->model.theta = 0.2;
        w->Button2Click(); // hidden for a person, but the handler must be safe
        QCOMPARE(w->anim.compteur, 1021);
        QCOMPARE(w->model.theta, 0.0);
        QCOMPARE(w->model.thetaPrec, 0.0);
    }

    // Tab reaches every control in the form's order; the lists answer the
    // arrow keys and the buttons Space and Enter.
    void keyboard()
    {
        menu(2);
        QList<QWidget *> order;
        for (QWidget *next = w->ListBox1; order.size() < 7; next = next->nextInFocusChain())
            if (next->focusPolicy() & Qt::TabFocus)
                order.append(next);
        QCOMPARE(order, (QList<QWidget *>{w->ListBox1, w->Button1, w->ScrollBar1, w->ListBox2, w->Button2,
                                          w->RichEdit1, w->RichEdit2}));
        QTest::keyClick(w->ListBox1, Qt::Key_Down);
        QCOMPARE(w->anim.rubrique, 3);
        QTest::keyClick(w->ListBox1, Qt::Key_Up);
        QTest::keyClick(w->ListBox1, Qt::Key_Up);
        QCOMPARE(w->anim.rubrique, 1);
        QTest::keyClick(w->Button1, Qt::Key_Return);
        QCOMPARE(w->anim.compteur, 1);
        menu(1);
        QTest::keyClick(w->Button1, Qt::Key_Space);
        QCOMPARE(w->anim.compteur, 1);
    }

    void commentary()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        auto finish = qScopeGuard([&] { QDir::setCurrent(previous); });

        menu(3);
        w->Button1->click();
        tick(330);
        const int end = w->anim.compteur;

        // No file anywhere: an error box names it; the box keeps its content.
        w->B1->click();
        QVERIFY(!w->RichEdit2->isHidden());
        QCOMPARE(w->RichEdit2->toPlainText(), QStringLiteral("RichEdit2"));
        const auto boxes = w->findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.front()->text().contains(QStringLiteral("lodrix2.rtf")));
        boxes.front()->close();
        QCOMPARE(w->anim.compteur, end);

        // A file in the current directory is loaded, formatted.
        QFile file(dir.filePath(QStringLiteral("lodrix2.rtf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1\\ansi {\\b Compensation} du p\\'f4le\\par}");
        file.close();
        w->B1->click();
        QCOMPARE(w->RichEdit2->toPlainText().trimmed(), QStringLiteral("Compensation du pôle"));
        QVERIFY(w->RichEdit2->isReadOnly());

        // A file that is not RTF leaves the last commentary shown, with a box.
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("not a commentary");
        file.close();
        w->B1->click();
        QCOMPARE(w->RichEdit2->toPlainText().trimmed(), QStringLiteral("Compensation du pôle"));
        QCOMPARE(w->findChildren<QMessageBox *>().size(), 2);

        // Any other handler hides it again.
        menu(3);
        QVERIFY(w->RichEdit2->isHidden());
    }

    void commentaryOnlyForClosedLoopEntries()
    {
        menu(1);
        w->B1Click();
        QVERIFY(w->RichEdit2->isHidden());
        QVERIFY(w->findChildren<QMessageBox *>().isEmpty());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setPalette(lodrixPalette());
    TestHandlers t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_handlers.moc"

// The window as a shell of the controller: its controls at start-up, focus,
// the timer, the keyboard, the commentary button and the commentary files.

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "app/tvitesse.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionComboBox>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

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

private slots:
    void initTestCase() { QApplication::setPalette(lodrixPalette()); }
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
        QCOMPARE(w->controller.animation().rubrique, -1);
        QTest::keyClick(w->ListBox1, Qt::Key_Space);
        QCOMPARE(w->controller.animation().rubrique, 0);
    }

    void scrollBarSetsTheIntervalFromTheNextTick()
    {
        w->ScrollBar1->setValue(10);
        QCOMPARE(w->Timer1->interval(), 50);
        tick();
        QCOMPARE(w->Timer1->interval(), 10);
    }

    // The window shows every control as the controller says it is, through
    // a lesson's actions, so the state it reports is what a person sees.
    void controlsFollowTheController()
    {
        const auto agree = [this] {
            const std::pair<Control, QWidget *> controls[] = {{Control::ListBox2, w->ListBox2},
                                                              {Control::Label6, w->Label6},
                                                              {Control::Button1, w->Button1},
                                                              {Control::Button2, w->Button2},
                                                              {Control::RichEdit1, w->RichEdit1},
                                                              {Control::RichEdit2, w->RichEdit2},
                                                              {Control::B1, w->B1},
                                                              {Control::FreeSettings, w->SettingStep}};
            for (const auto &[c, widget] : controls) {
                const ControlState said = w->controller.control(c);
                if (!widget)
                    return c == Control::B1 && w->controller.animation().B1existe == 0;
                if (widget->isHidden() == said.visible || widget->isEnabled() != said.enabled)
                    return false;
            }
            return true;
        };
        QVERIFY(agree());
        menu(2);
        QVERIFY(agree());
        mode(1);
        QVERIFY(agree());
        w->Button2->click();
        QVERIFY(agree());
        mode(0);
        w->Button1->click();
        tick(330);
        QVERIFY(agree());
        w->B1->click();
        for (QMessageBox *box : w->findChildren<QMessageBox *>())
            box->close();
        QVERIFY(agree());
        menu(5);
        QVERIFY(agree() && on(w->SettingGain));
        menu(0);
        QVERIFY(agree());
    }

    // The free-setting entry's settings, as a person sets them: a change
    // stops the run; the two-step corrector takes no gain.
    void freeSettingControls()
    {
        QVERIFY(off(w->SettingCorrector));
        menu(5);
        w->Button1->click();
        tick(50);
        w->SettingGain->setValue(30);
        QCOMPARE(w->controller.freeSettings().gain, 30.0);
        w->SettingPeriod->setCurrentIndex(1);
        QCOMPARE(w->controller.freeSettings().period, 0.05);
        w->SettingCorrector->setCurrentIndex(2);
        QCOMPARE(w->controller.freeSettings().corrector, Corrector::TwoStep);
        QVERIFY(!w->SettingGain->isEnabled() && !w->SettingGainSlider->isEnabled());
        w->SettingStep->setValue(2047);
        QCOMPARE(w->controller.freeSettings().step, 2047);
        // The set-point and the load, from the keyboard.
        QTest::keyClick(w->SettingInput, Qt::Key_Down);
        QCOMPARE(w->controller.freeSettings().input, Input::Ramp);
        w->SettingLoad->setFocus();
        w->SettingLoad->selectAll();
        QTest::keyClicks(w->SettingLoad, QStringLiteral("-300"));
        QTest::keyClick(w->SettingLoad, Qt::Key_Return);
        QCOMPARE(w->controller.freeSettings().load, -300);
        QTest::keyClick(w->SettingLoadFrom, Qt::Key_Up);
        QCOMPARE(w->controller.freeSettings().loadFrom, 5);
        QCOMPARE(w->SettingLoad->maximum(), 2047);
        QCOMPARE(w->SettingLoadFrom->maximum(), 7);
        QVERIFY(!w->SettingLoad->accessibleName().isEmpty() && !w->SettingInput->accessibleName().isEmpty());

        // The slider and the number field follow each other; each slider
        // move applies at once, a page of it doubles the gain.
        w->SettingCorrector->setCurrentIndex(0);
        w->SettingGainSlider->setValue(100);
        QCOMPARE(w->controller.freeSettings().gain, 1.0);
        QCOMPARE(w->SettingGain->value(), 1.0);
        w->SettingGainSlider->setFocus();
        QTest::keyClick(w->SettingGainSlider, Qt::Key_PageUp);
        QCOMPARE(w->controller.freeSettings().gain, 1.995);
        QTest::keyClick(w->SettingGainSlider, Qt::Key_End);
        QCOMPARE(w->controller.freeSettings().gain, maxGain);
        w->SettingGain->setValue(23.92);
        QCOMPARE(w->SettingGainSlider->value(), 238);

        // K and Shift+K keep and clear runs here only, and the menu offers them here only.
        QVERIFY(w->keepAction->isVisible());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w->SettingGainSlider, Qt::Key_K);
        QCOMPARE(w->controller.kept().size(), std::size_t(1));
        QTest::keyClick(w->SettingGainSlider, Qt::Key_K, Qt::ShiftModifier);
        QVERIFY(w->controller.kept().empty());
        menu(2);
        QVERIFY(!w->keepAction->isVisible() && !w->clearKeptAction->isVisible());
    }

    // The classroom keys work wherever the focus is, the pause shows, and
    // Space still presses the focused button.
    void classroomKeys()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        menu(1);
        w->ListBox1->setFocus();
        w->Button1->click();
        tick(3);
        QTest::keyClick(w->ListBox1, Qt::Key_P);
        QVERIFY(w->controller.paused());
        QCOMPARE(w->controller.animation().rubrique, 1); // the list did not take P for a search
        QVERIFY(!w->pauseSign->isHidden());
        QVERIFY(w->windowTitle().contains(QStringLiteral("pause")));
        const int held = w->controller.animation().compteur;
        QTest::keyClick(w->ListBox1, Qt::Key_N);
        QCOMPARE(w->controller.animation().compteur, held + 1);
        QTest::keyClick(w->Button1, Qt::Key_Space);
        QCOMPARE(w->controller.animation().compteur, 1);
        QVERIFY(w->pauseSign->isHidden());
        QTest::keyClick(w->Button1, Qt::Key_Pause);
        QVERIFY(w->controller.paused());

        // The right-click menu offers every action with its key.
        QCOMPARE(w->contextMenuPolicy(), Qt::ActionsContextMenu);
        for (QAction *a : {w->pauseAction, w->stepAction, w->exportAction, w->saveAction, w->copyAction})
            QVERIFY(w->actions().contains(a) && !a->shortcut().isEmpty());
        QVERIFY(w->actions().contains(w->aboutAction));
    }

    // K keeps wherever the focus is, except in a field that takes typed
    // text, and says what it did, or why it kept nothing, for a moment.
    void keepWhereverTheFocusIs_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("keeps");
        QTest::newRow("the menu") << "ListBox1" << true;
        QTest::newRow("the start button") << "Button1" << true;
        QTest::newRow("the speed bar") << "ScrollBar1" << true;
        QTest::newRow("the corrector's list") << "SettingCorrector" << true;
        QTest::newRow("the gain slider") << "SettingGainSlider" << true;
        QTest::newRow("the period's list") << "SettingPeriod" << true;
        QTest::newRow("typing the gain") << "SettingGain" << false;
        QTest::newRow("typing the step") << "SettingStep" << false;
    }
    void keepWhereverTheFocusIs()
    {
        QFETCH(QString, focus);
        QFETCH(bool, keeps);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        menu(5);
        tick();
        auto *target = w->findChild<QWidget *>(focus);
        target->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
        QCOMPARE(w->controller.kept().size(), std::size_t(keeps ? 1 : 0));
        QCOMPARE(w->notice->isHidden(), !keeps);
        if (keeps)
            QCOMPARE(w->notice->text(), QStringLiteral("Courbe gardée (1 sur 3)."));
    }

    void keepSaysWhy()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        menu(2);
        QTest::keyClick(w->ListBox1, Qt::Key_K);
        QCOMPARE(w->notice->text(),
                 QStringLiteral("Rien à garder : K garde les courbes de « Boucle fermée : réglage libre »."));
        QVERIFY(!w->notice->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(w->notice->isHidden(), 6000); // gone by itself
        menu(5);
        QTest::keyClick(w->ListBox1, Qt::Key_K);
        QTest::keyClick(w->ListBox1, Qt::Key_K);
        QCOMPARE(w->notice->text(), QStringLiteral("Rien à garder : cette courbe est déjà gardée."));
    }

    // The commentary closes by « Commentaires » again, by Esc, or by the
    // close control beside it, which shows only with it.
    void commentaryCloses()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        menu(2);
        w->Button1->click();
        tick(330);
        const auto open = [this] {
            w->B1->click();
            for (QMessageBox *box : w->findChildren<QMessageBox *>())
                delete box; // a commentary file missing here says so; the box shows anyway
            QVERIFY(!w->RichEdit2->isHidden());
            QVERIFY(on(w->RichEdit2Close));
        };
        QVERIFY(off(w->RichEdit2Close));
        open();
        w->B1->click();
        QVERIFY(w->RichEdit2->isHidden());
        QVERIFY(off(w->RichEdit2Close));
        open();
        QTest::keyClick(w->B1, Qt::Key_Escape);
        QVERIFY(w->RichEdit2->isHidden());
        QVERIFY(!w->formFullScreen());
        open();
        w->RichEdit2Close->click();
        QVERIFY(w->RichEdit2->isHidden());
        QVERIFY(off(w->RichEdit2Close));
        QCOMPARE(w->RichEdit2Close->accessibleName(), QStringLiteral("Fermer le commentaire"));
    }

    // The state line's rectangles, in form pixels.
    void formRects()
    {
        QCOMPARE(w->formRect(QStringLiteral("Button1")), QRect(488, 512, 105, 25));
        QCOMPARE(w->formRect(QStringLiteral("FOND")), QRect(8, 16, 785, 225));
        QCOMPARE(w->formRect(QStringLiteral("FreeSettings")).top(), 490); // the load's row, above the strip's
        w->setZoom(200);
        QCOMPARE(w->formRect(QStringLiteral("Button1")), QRect(488, 512, 105, 25));
        QVERIFY(w->formRect(QStringLiteral("nothing")).isEmpty());
    }

    // Saving writes what Ctrl+E and Ctrl+S promise, under the default names;
    // a folder that cannot be written says why.
    void exports()
    {
        menu(2);
        w->Button1->click();
        tick(40);
        QTemporaryDir dir;
        const QString csv = dir.filePath(w->defaultRunFileName());
        QVERIFY(w->saveRun(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 1 + 40); // the header, page ticks 2 to 41
        QVERIFY(QFileInfo(csv).fileName().startsWith(QStringLiteral("lodrix-proportionnel-")));
        QCOMPARE(w->defaultPictureFileName(), QStringLiteral("lodrix-proportionnel-41.png"));
        QCOMPARE(w->picture().size(), QSize(800, 560));
        QString why;
        QVERIFY(!w->saveRun(dir.filePath(QStringLiteral("missing/run.csv")), &why));
        QVERIFY(!why.isEmpty());
    }

    // Every control has a name and a description for a screen reader; the
    // scene's description names the lesson and reads its value row.
    void accessibility()
    {
        for (QWidget *c : std::initializer_list<QWidget *>{w->ListBox1, w->Button1, w->ScrollBar1,
                                                           w->ListBox2, w->Button2, w->RichEdit2})
            QVERIFY(!c->accessibleName().isEmpty() && !c->accessibleDescription().isEmpty());
        menu(2);
        w->Button1->click();
        tick(30);
        const QString said = w->FOND->accessibleDescription();
        QVERIFY(said.startsWith(QStringLiteral("Boucle fermée : régulation Proportionnelle")));
        QVERIFY(said.contains(QStringLiteral("E = 200")) &&
                said.contains(QStringLiteral("X = %1").arg(w->controller.model().X)));
    }

    // Tab reaches every control in the form's order; the lists answer the
    // arrow keys and the buttons Enter, as they do Space.
    void keyboard()
    {
        menu(2);
        QList<QWidget *> order;
        for (QWidget *next = w->ListBox1; order.size() < 16; next = next->nextInFocusChain())
            if ((next->focusPolicy() & Qt::TabFocus) && next->parentWidget() == w.get()) // not inner editors
                order.append(next);
        QCOMPARE(order, (QList<QWidget *>{w->ListBox1, w->Button1, w->ScrollBar1, w->ListBox2, w->Button2,
                                          w->SettingCorrector, w->SettingGain, w->SettingGainSlider,
                                          w->SettingPeriod, w->SettingStep, w->SettingInput, w->SettingLoad,
                                          w->SettingLoadFrom, w->FreeViewArea, w->RichEdit1, w->RichEdit2}));
        QTest::keyClick(w->ListBox1, Qt::Key_Down);
        QCOMPARE(w->controller.animation().rubrique, 3);
        QTest::keyClick(w->ListBox1, Qt::Key_Up);
        QTest::keyClick(w->ListBox1, Qt::Key_Up);
        QCOMPARE(w->controller.animation().rubrique, 1);
        QTest::keyClick(w->Button1, Qt::Key_Return);
        QCOMPARE(w->controller.animation().compteur, 1);
    }

    // A drag of the gain slider, a pixel at a time from its left end to its
    // right end, as the mouse makes it: no pixel multiplies G by more than
    // 1.075 (four decades over the slider's 150 pixels, three positions a
    // pixel at most), and the drag sweeps the whole range.
    void gainSliderSweepsSlowly()
    {
        menu(5);
        GainSlider *slider = w->SettingGainSlider;
        QVERIFY(slider->width() >= 145);
        const auto mouse = [slider](QEvent::Type type, int x, Qt::MouseButtons buttons) {
            const QPointF at(x, slider->height() / 2);
            QMouseEvent event(type, at, slider->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(slider, &event);
        };
        slider->setValue(0);
        int x = slider->handleLength() / 2;
        mouse(QEvent::MouseButtonPress, x, Qt::LeftButton);
        std::vector<double> gains{w->controller.freeSettings().gain};
        for (++x; x < slider->width() + 5; ++x) {
            mouse(QEvent::MouseMove, x, Qt::LeftButton);
            gains.push_back(w->controller.freeSettings().gain);
        }
        mouse(QEvent::MouseButtonRelease, x, Qt::NoButton);
        QCOMPARE(gains.front(), minGain);
        QCOMPARE(gains.back(), maxGain);
        double steepest = 1.0;
        for (std::size_t i = 1; i < gains.size(); ++i)
            steepest = std::max(steepest, gains[i] / gains[i - 1]);
        QVERIFY2(steepest <= 1.075, qPrintable(QStringLiteral("one pixel multiplies G by %1").arg(steepest)));
    }

    // The loop's critical gain is a mark on the slider's track, under the
    // handle's centre where the slider gives that gain; none for the
    // two-step corrector, which has no gain.
    void criticalGainMarked_data()
    {
        QTest::addColumn<int>("corrector");
        QTest::addColumn<int>("period");
        QTest::addRow("P at T1") << 0 << 2;
        QTest::addRow("P at T1/4") << 0 << 0;
        QTest::addRow("PC at 2 T1") << 1 << 3;
        QTest::addRow("two-step") << 2 << 2;
    }
    void criticalGainMarked()
    {
        QFETCH(int, corrector);
        QFETCH(int, period);
        menu(5);
        w->SettingCorrector->setCurrentIndex(corrector);
        w->SettingPeriod->setCurrentIndex(period);
        GainSlider *slider = w->SettingGainSlider;
        const QImage picture = slider->grab().toImage();
        std::vector<int> marked; // the columns of the mark's red, above the groove
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, 1) == qRgb(0xc0, 0, 0))
                marked.push_back(x);
        }
        const std::optional<double> critical = w->controller.freeLoop().criticalGain();
        if (!critical) {
            QVERIFY(marked.empty());
            return;
        }
        QVERIFY(!marked.empty());
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = Qt::Horizontal;
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = sliderPositionOfGain(*critical);
        const QRect handle =
            slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
        QVERIFY2(std::abs(marked.front() - handle.center().x()) <= 1,
                 qPrintable(QStringLiteral("mark at %1, G = %2 at %3")
                                .arg(marked.front())
                                .arg(*critical)
                                .arg(handle.center().x())));
    }

    // Disabled (« Deux coups »), the slider shows none of the enabled one's
    // highlight.
    void disabledSliderLooksDisabled()
    {
        menu(5);
        const auto highlighted = [this] { // dark blue pixels, the highlight's
            const QImage picture = w->SettingGainSlider->grab().toImage();
            int count = 0;
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    const QRgb c = picture.pixel(x, y);
                    count += qBlue(c) > qRed(c) + 60 && qGreen(c) < 100;
                }
            }
            return count;
        };
        QVERIFY(highlighted() > 0);
        w->SettingCorrector->setCurrentIndex(2);
        QVERIFY(!w->SettingGainSlider->isEnabled());
        QCOMPARE(highlighted(), 0);
    }

    // Every text of the strip fits its control, in both languages: a list's
    // choices beside its arrow, a field's extreme values beside its
    // buttons, a caption in its label; and no control of the strip covers
    // another control of the form or leaves the form.
    void stripTextsFit_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addRow("French") << "fr";
        QTest::addRow("English") << "en";
    }
    void stripTextsFit()
    {
        QFETCH(QString, language);
        w = std::make_unique<Tvitesse>(NumberFormat(","), *Language::named(language.toStdString()));
        w->Timer1->stop();
        w->show();
        menu(5);
        const QRect form(0, 0, 800, 560);
        const QList<QWidget *> strip{w->SettingCorrector, w->SettingGain,     w->SettingGainSlider,
                                     w->SettingPeriod,    w->SettingStep,     w->SettingInput,
                                     w->SettingLoad,      w->SettingLoadFrom, w->SettingHorizon};
        for (QComboBox *box : {w->SettingCorrector, w->SettingPeriod, w->SettingInput, w->SettingHorizon}) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            const QRect field =
                box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
            for (int i = 0; i < box->count(); ++i)
                QVERIFY2(box->fontMetrics().horizontalAdvance(box->itemText(i)) + 4 <= field.width(),
                         qPrintable(box->itemText(i)));
        }
        for (QAbstractSpinBox *spin : std::initializer_list<QAbstractSpinBox *>{
                 w->SettingGain, w->SettingStep, w->SettingLoad, w->SettingLoadFrom}) {
            auto *edit = spin->findChild<QLineEdit *>();
            QVERIFY(edit);
            QStringList texts;
            if (auto *whole = qobject_cast<QSpinBox *>(spin))
                texts = {QString::number(whole->minimum()), QString::number(whole->maximum())};
            else
                texts = {w->SettingGain->textFromValue(23.92), w->SettingGain->textFromValue(100)};
            for (const QString &text : texts) // the line edit keeps 2 pixels each side
                QVERIFY2(spin->fontMetrics().horizontalAdvance(text) + 4 <= edit->width(),
                         qPrintable(spin->objectName() + QLatin1Char(' ') + text));
        }
        for (QLabel *caption : w->findChildren<QLabel *>()) {
            if (caption->buddy() && strip.contains(caption->buddy()))
                QVERIFY2(caption->fontMetrics().horizontalAdvance(caption->text()) <= caption->width(),
                         qPrintable(caption->text()));
        }
        for (QWidget *control : strip) {
            QVERIFY(form.contains(control->geometry()));
            for (QWidget *other : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (other != control && !other->isHidden() && other != w->FOND)
                    QVERIFY2(
                        !control->geometry().intersects(other->geometry()),
                        qPrintable(control->objectName() + QLatin1String(" covers ") + other->objectName()));
            }
        }
    }

    // The gain field writes the scene's decimal separator and reads either.
    void gainFieldSpeaksTheLanguage()
    {
        menu(5);
        NumberField *field = w->SettingGain;
        QCOMPARE(field->text(), QStringLiteral("2,5"));
        for (const auto &[typed, gain] : {std::pair{"3.5", 3.5}, std::pair{"4,25", 4.25}}) {
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, QString::fromLatin1(typed));
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(w->controller.freeSettings().gain, gain);
        }
        QCOMPARE(field->text(), QStringLiteral("4,25"));
        w = std::make_unique<Tvitesse>(NumberFormat("."), *Language::named("en"));
        w->Timer1->stop();
        w->show();
        menu(5);
        QCOMPARE(w->SettingGain->text(), QStringLiteral("2.5"));
    }

    void commentary()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        auto finish = qScopeGuard([&] { QDir::setCurrent(previous); });

        // The start clears the text area of the window's own canvas; the end
        // shows "Commentaires" over the scene.
        menu(3);
        w->windowCanvas.pen.color = clRed;
        w->windowCanvas.line(300, 300, 310, 300);
        w->Button1->click();
        QCOMPARE(w->windowCanvas.pixels()[300 * w->windowCanvas.width() + 300], toArgb(clFace));
        tick(330);
        QCOMPARE(w->B1->text(), QStringLiteral("Commentaires"));
        QCOMPARE(w->B1->geometry(), QRect(680, 40, 100, 30));
        const int end = w->controller.animation().compteur;

        // No file anywhere: an error box names it; the box keeps its content.
        w->B1->click();
        QVERIFY(!w->RichEdit2->isHidden());
        QCOMPARE(w->RichEdit2->toPlainText(), QStringLiteral("RichEdit2"));
        const auto boxes = w->findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.front()->text().contains(QStringLiteral("lodrix2.rtf")));
        boxes.front()->close();
        QCOMPARE(w->controller.animation().compteur, end);

        // A file in the current directory is loaded, formatted.
        QFile file(dir.filePath(QStringLiteral("lodrix2.rtf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0 {\\b Compensation} du p\\'f4le\\par}");
        file.close();
        w->B1->click(); // closes the box shown
        w->B1->click();
        QCOMPARE(w->RichEdit2->toPlainText().trimmed(), QStringLiteral("Compensation du pôle"));
        QVERIFY(w->RichEdit2->isReadOnly());
        // Written in Arial where the machine has it, else in its metric twin,
        // never in whatever sans serif fontconfig finds first.
        QTextCursor text(w->RichEdit2->document());
        text.setPosition(1);
        const QString expected = QFontDatabase::families().contains(QStringLiteral("Arial"))
                                     ? QStringLiteral("Arial")
                                     : QStringLiteral("Liberation Sans");
        QCOMPARE(QFontInfo(text.charFormat().font()).family(), expected);

        // A file that is not RTF leaves the last commentary shown, with a box.
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("not a commentary");
        file.close();
        w->B1->click();
        w->B1->click();
        QCOMPARE(w->RichEdit2->toPlainText().trimmed(), QStringLiteral("Compensation du pôle"));
        QCOMPARE(w->findChildren<QMessageBox *>().size(), 2);

        // Any other handler hides it again.
        menu(3);
        QVERIFY(w->RichEdit2->isHidden());
    }
};

QTEST_MAIN(TestHandlers)
#include "tst_handlers.moc"

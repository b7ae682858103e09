#include "driver.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <stdexcept>
#include <string>

namespace lodrix::bench {

namespace {

void requireClickable(const QWidget *control, const char *what)
{
    if (!control || control->isHidden() || !control->isEnabled())
        throw std::logic_error(std::string(what) + " cannot be clicked now");
}

constexpr int menuEntries = 6;

bool isClosedLoopEntry(int menuEntry)
{
    return pageBase(menuEntry) != 0;
}

} // namespace

void Driver::choose(int menuEntry)
{
    requireClickable(w_.ListBox1, "the menu");
    w_.clickListItem(w_.ListBox1, menuEntry);
}

void Driver::chooseMode(Mode mode)
{
    requireClickable(w_.ListBox2, "the mode list");
    w_.clickListItem(w_.ListBox2, static_cast<int>(mode));
}

void Driver::start()
{
    requireClickable(w_.Button1, "\"Démarrer Animation\"");
    w_.Button1->click();
}

void Driver::nextPeriod()
{
    requireClickable(w_.Button2, "\"Incrémenter la période\"");
    w_.Button2->click();
}

bool Driver::openCommentary()
{
    if (!w_.B1 || w_.B1->isHidden() || !w_.B1->isEnabled())
        return false;
    w_.B1->click();
    QCoreApplication::processEvents();
    // A commentary that cannot be read brings up an error box; a person
    // reads it and presses OK.
    for (QMessageBox *box : w_.findChildren<QMessageBox *>()) {
        if (box->isVisible()) {
            if (firstCommentaryError_.empty())
                firstCommentaryError_ = (box->text() + u' ' + box->informativeText()).toStdString();
            box->accept();
            ++commentaryErrors_;
        }
    }
    return true;
}

void Driver::requireCommentary()
{
    if (!openCommentary())
        throw std::logic_error("no \"Commentaires\" button after the end tick");
}

Frame Driver::nextFrame() const
{
    AnimationState probe = w_.controller.animation();
    return dispatchTick(probe);
}

void Driver::tick()
{
    w_.Timer1Timer();
    QCoreApplication::processEvents();
}

int Driver::playUntilHalt()
{
    int drawn = 0;
    while (nextFrame().page != Page::None) {
        tick();
        ++drawn;
    }
    return drawn;
}

void Driver::prepare(const PageTicks &p, int tick)
{
    if (p.menuEntry < 0) {
        // Any choice brings the counter back to the idle picture.
        choose(0);
        return;
    }
    choose(p.menuEntry);
    if (isClosedLoopEntry(p.menuEntry))
        chooseMode(Mode::Continuous);
    start();
    for (Frame next = nextFrame(); next.page == p.page && next.tick != tick; next = nextFrame())
        this->tick();
    if (nextFrame() != Frame{p.page, tick})
        throw std::logic_error("page " + std::string(p.name) + " never draws tick " + std::to_string(tick));
}

void Driver::playLesson()
{
    for (int entry = 0; entry < menuEntries; ++entry) {
        choose(entry);
        if (!isClosedLoopEntry(entry)) {
            start();
            playUntilHalt();
            continue;
        }
        chooseMode(Mode::Continuous);
        start();
        playUntilHalt();
        requireCommentary();
        chooseMode(Mode::StepByStep);
        for (int period = 1; period <= periodCount; ++period) {
            nextPeriod();
            playUntilHalt();
        }
        requireCommentary();
    }
}

} // namespace lodrix::bench

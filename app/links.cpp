// The window's side of the links that open an experiment: one applied as the
// page applies its address at load, and the link of what is on screen put
// in the clipboard by the right-click menu.

#include "tvitesse.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>

namespace lodrix {

namespace {

// Shows row as the list's selection without running its handler: the
// controller has chosen it already.
void showRow(QListWidget *list, int row)
{
    const QSignalBlocker quiet(list);
    if (row >= 0)
        list->setCurrentRow(row);
    else
        list->clearSelection();
}

} // namespace

void Tvitesse::openLink(const Link &link)
{
    applyLink(controller, link);
    showRow(ListBox1, controller.menuRow());
    showRow(ListBox2, controller.modeRow());
    {
        const QSignalBlocker quiet(ScrollBar1);
        ScrollBar1->setValue(controller.scrollPosition());
    }
    present();
}

QString Tvitesse::link() const
{
    return QStringLiteral("lodrix.html?") + QString::fromStdString(linkQuery(controller));
}

void Tvitesse::buildLinkAction()
{
    copyLinkAction = new QAction(say("Copier le lien de cette expérience"), this);
    connect(copyLinkAction, &QAction::triggered, this, [this] {
        QApplication::clipboard()->setText(link());
        tell(say("Lien copié dans le presse-papiers."));
    });
    // In the right-click menu with the other actions, before the about box.
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    insertActions(aboutAction, {copyLinkAction, separator});
}

} // namespace lodrix

// The window's side of the links that open an experiment: one applied as the
// page applies its address at load, and the link of what is on screen, a
// whole address of the page, put in the clipboard by the right-click menu.

#include "tvitesse.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
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

QString say(const Language &language, const char *french)
{
    const std::string_view text = language.tr(french);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QUrl localPage()
{
    const QString bin = QCoreApplication::applicationDirPath();
    for (const char *place : {"/../" LODRIX_DATA_SUBDIR "/lodrix.html", "/../web/lodrix.html"}) {
        const QFileInfo page(bin + QLatin1String(place));
        if (page.isFile())
            return QUrl::fromLocalFile(page.canonicalFilePath());
    }
    return {};
}

std::optional<PageAddress> choosePage(const std::optional<QString> &option, const Language &language,
                                      QString *why)
{
    const QString named = option ? QStringLiteral("--page-url") : QStringLiteral("LODRIX_PAGE_URL");
    const QString text = option ? *option : qEnvironmentVariable("LODRIX_PAGE_URL");
    if (!option && text.isEmpty())
        return PageAddress{localPage(), {}};
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || !(scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                            scheme == QLatin1String("file"))) {
        *why = say(language, "%1 : « %2 » n'est pas l'adresse d'une page en http://, https:// ou file://.")
                   .arg(named, text);
        return std::nullopt;
    }
    if (url.hasQuery() || url.hasFragment() || url.path().isEmpty() ||
        (scheme != QLatin1String("file") && url.host().isEmpty())) {
        *why = say(language, "%1 : « %2 » doit être l'adresse entière de la page, sans « ? » ni « # » : le "
                             "lien y ajoute les siens.")
                   .arg(named, text);
        return std::nullopt;
    }
    return PageAddress{url, named};
}

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
    // Without a page, at least the page's name, as a worksheet would complete it.
    const QString page =
        page_.url.isEmpty() ? QStringLiteral("lodrix.html") : page_.url.toString(QUrl::FullyEncoded);
    return page + QLatin1Char('?') + QString::fromStdString(linkQuery(controller));
}

QString Tvitesse::copyLink()
{
    const QString copied = link();
    QApplication::clipboard()->setText(copied);
    QString to;
    if (!page_.named.isEmpty())
        to = say("Lien copié, vers la page de la classe (%1) :").arg(page_.named);
    else if (!page_.url.isEmpty())
        to = say("Lien copié, vers la page de cet ordinateur (pour celle de la classe : lodrix --page-url "
                 "ADRESSE) :");
    else
        to = say("Lien copié, sans adresse : aucune page sur cet ordinateur (lodrix --page-url ADRESSE la "
                 "donne) :");
    return to + QLatin1Char('\n') + copied;
}

void Tvitesse::buildLinkAction()
{
    copyLinkAction = new QAction(say("Copier le lien de cette expérience"), this);
    connect(copyLinkAction, &QAction::triggered, this, [this] {
        // Says which page the link opens, with the link, for a few seconds.
        tell(copyLink());
    });
    // In the right-click menu with the other actions, before the about box.
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    insertActions(aboutAction, {copyLinkAction, separator});
}

} // namespace lodrix

// The classroom actions of the window: pause and one frame at a time, the
// run exported for a spreadsheet, the picture saved or copied for a handout,
// the about box; and what a screen reader reads of the controls and the
// drawing surfaces.

#include "tvitesse.h"

#include "engine/runcsv.h"
#include "render/loopdiagram.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextEdit>

#include <algorithm>
#include <iterator>

namespace lodrix {

namespace {

constexpr QSize formSize{800, 560}; // the design client area, every control inside

struct Accessible {
    const char *name;
    const char *description;
};

// Names as the form shows them, descriptions of what each control does.
constexpr Accessible listBox1{"Menu",
                              "Choisit la leçon : présentation, boucle ouverte ou une des boucles fermées."};
constexpr Accessible button1{"Démarrer Animation", "Démarre la leçon choisie depuis son début."};
constexpr Accessible scrollBar1{"Réglage vitesse Animation",
                                "Intervalle entre deux images, de 10 ms (rapide) à 100 ms (lent)."};
constexpr Accessible listBox2{"Sélectionner",
                              "En continu : les huit périodes d'un coup ; pas à pas : une par appui."};
constexpr Accessible button2{"Incrémenter la période", "Joue la période d'échantillonnage suivante."};
constexpr Accessible richEdit1{"RichEdit1", "Zone de texte inutilisée."};
constexpr Accessible richEdit2{"Commentaire", "Le commentaire de la leçon, en lecture seule."};
constexpr Accessible commentaryButton{"Commentaires", "Affiche le commentaire de la leçon terminée."};
constexpr Accessible closeCommentary{"Fermer le commentaire", "Ferme le commentaire (Échap)."};
constexpr Accessible noticeLabel{"Message", "Ce que la dernière action a fait."};
constexpr Accessible pauseLabel{"En pause", "L'animation est en pause : P la reprend, N dessine une image."};

void describe(const Tvitesse &form, QWidget *w, const Accessible &a)
{
    w->setAccessibleName(form.say(a.name));
    w->setAccessibleDescription(form.say(a.description));
}

} // namespace

void Tvitesse::showKeptActions(bool shown)
{
    for (QAction *a : {keptSeparator, keepAction, clearKeptAction})
        if (a)
            a->setVisible(shown);
    if (keepElsewhere_)
        keepElsewhere_->setEnabled(!shown);
}

QString Tvitesse::keysHelp() const
{
    return say("P ou Pause : met l'animation en pause ou la reprend\n"
               "N : dessine une image de plus (en pause)\n"
               "K : garde la courbe du réglage libre pour comparer (trois au plus)\n"
               "Maj+K : efface les courbes gardées\n"
               "Ctrl+E : exporte la course en CSV\n"
               "Ctrl+S : enregistre l'image de la fenêtre en PNG\n"
               "Ctrl+C : copie l'image de la fenêtre\n"
               "Ctrl++, Ctrl+-, Ctrl+0 : agrandit, réduit, rend sa taille à la fenêtre\n"
               "F11 : plein écran (Échap ou F11 pour en sortir)\n"
               "Tab, flèches, Espace, Entrée : les contrôles au clavier");
}

void Tvitesse::buildActions()
{
    auto action = [this](const char *text, QList<QKeySequence> keys, auto slot) {
        auto *a = new QAction(say(text), this);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setShortcutVisibleInContextMenu(true);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    pauseAction = action("Pause / reprise", {QKeySequence(Qt::Key_P), QKeySequence(Qt::Key_Pause)}, [this] {
        controller.togglePause();
        present();
    });
    stepAction = action("Image suivante", {QKeySequence(Qt::Key_N)}, [this] {
        controller.stepFrame();
        present();
    });
    exportAction =
        action("Exporter la course (CSV)...", {QKeySequence(Qt::CTRL | Qt::Key_E)}, [this] { exportRun(); });
    saveAction = action("Enregistrer l'image (PNG)...", {QKeySequence(Qt::CTRL | Qt::Key_S)},
                        [this] { savePicture(); });
    copyAction = action("Copier l'image", {QKeySequence(Qt::CTRL | Qt::Key_C)},
                        [this] { QApplication::clipboard()->setImage(picture()); });
    auto separator = [this] {
        auto *a = new QAction(this);
        a->setSeparator(true);
        addAction(a);
    };
    separator();
    // One step at a time through the zoom steps; full screen has a scale of
    // its own, and the steps wait until it is left.
    auto step = [this](int direction) {
        if (formFullScreen_)
            return;
        const auto *at = std::find(std::begin(zoomSteps), std::end(zoomSteps), zoom_);
        int index = at == std::end(zoomSteps) ? 0 : int(at - std::begin(zoomSteps));
        index = std::clamp(index + direction, 0, int(std::size(zoomSteps)) - 1);
        setZoom(zoomSteps[index]);
    };
    zoomInAction =
        action("Agrandir", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
               [step] { step(+1); });
    zoomOutAction = action("Réduire", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [step] { step(-1); });
    zoomResetAction = action("Taille normale", {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] {
        if (!formFullScreen_)
            setZoom(100);
    });
    fullScreenAction =
        action("Plein écran", {QKeySequence(Qt::Key_F11)}, [this] { setFormFullScreen(!formFullScreen_); });
    // Esc closes the commentary first, then leaves full screen.
    leaveFullScreenAction = action("Quitter le plein écran", {QKeySequence(Qt::Key_Escape)}, [this] {
        if (!RichEdit2->isHidden()) {
            controller.closeCommentary();
            present();
            return;
        }
        setFormFullScreen(false);
    });
    separator();
    aboutAction = action("À propos de Lodrix", {}, [this] { showAbout(); });
    // Keeping runs belongs to the free-setting entry: shown with its settings.
    keptSeparator = new QAction(this);
    keptSeparator->setSeparator(true);
    addAction(keptSeparator);
    auto keep = [this] {
        const std::string said = controller.keepRun();
        present();
        tell(QString::fromStdString(said));
    };
    keepAction = action("Garder cette courbe", {QKeySequence(Qt::Key_K)}, keep);
    // K on another entry, where the menu has no such item: it says why it keeps nothing.
    keepElsewhere_ = new QShortcut(QKeySequence(Qt::Key_K), this, keep, Qt::WindowShortcut);
    clearKeptAction = action("Effacer les courbes gardées", {QKeySequence(Qt::SHIFT | Qt::Key_K)}, [this] {
        controller.clearKept();
        present();
    });
    showKeptActions(controller.control(Control::FreeSettings).visible);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    describe(*this, ListBox1, listBox1);
    describe(*this, Button1, button1);
    describe(*this, ScrollBar1, scrollBar1);
    describe(*this, ListBox2, listBox2);
    describe(*this, Button2, button2);
    describe(*this, RichEdit1, richEdit1);
    describe(*this, RichEdit2, richEdit2);
    describe(*this, pauseSign, pauseLabel);
    describe(*this, RichEdit2Close, closeCommentary);
    describe(*this, notice, noticeLabel);
    // The labels are read as what they say.
    for (QLabel *l : {Label1, Label2, Label3, Label4, Label5, Label6})
        l->setAccessibleName(l->text());
    FOND->setAccessibleName(say("Schéma de la boucle et bras"));
    setAccessibleName(QStringLiteral("Lodrix"));
    describeSurfaces();
}

void Tvitesse::describeCommentaryButton()
{
    describe(*this, B1, commentaryButton);
}

void Tvitesse::describeSurfaces()
{
    const int entry = controller.animation().rubrique;
    const std::string lesson =
        entry >= 0 && entry < ListBox1->count() ? ListBox1->item(entry)->text().toStdString() : std::string();
    const QString text = QString::fromStdString(
        surfaceDescription(lesson, controller.animation().compteur > 0, controller.model(),
                           controller.numbers(), controller.language()));
    if (text != FOND->accessibleDescription()) {
        FOND->setAccessibleDescription(text);
        setAccessibleDescription(text);
    }
}

QString Tvitesse::defaultRunFileName() const
{
    return QStringLiteral("lodrix-%1-%2.csv")
        .arg(QString::fromLatin1(lessonSlug(controller.animation().rubrique)),
             QDate::currentDate().toString(Qt::ISODate));
}

QString Tvitesse::defaultPictureFileName() const
{
    const auto &run = controller.run();
    return QStringLiteral("lodrix-%1-%2.png")
        .arg(QString::fromLatin1(lessonSlug(controller.animation().rubrique)))
        .arg(run.empty() ? 0 : run.back().tick);
}

bool Tvitesse::saveRun(const QString &path, QString *why) const
{
    QFile file(path);
    const std::string csv = runCsv(controller.run());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(csv.data(), qint64(csv.size())) == qint64(csv.size()) && file.flush())
        return true;
    if (why)
        *why = file.errorString();
    return false;
}

QImage Tvitesse::picture()
{
    return grab(QRect(QPoint(0, 0), formSize)).toImage();
}

void Tvitesse::exportRun()
{
    const QString path = QFileDialog::getSaveFileName(this, say("Exporter la course"), defaultRunFileName(),
                                                      QStringLiteral("CSV (*.csv)"));
    QString why;
    if (!path.isEmpty() && !saveRun(path, &why))
        QMessageBox::warning(this, QStringLiteral("Lodrix"),
                             say("Impossible d'écrire « %1 » : %2").arg(path, why));
}

void Tvitesse::savePicture()
{
    const QImage image = picture(); // the picture as it was when the key was pressed
    const QString path = QFileDialog::getSaveFileName(
        this, say("Enregistrer l'image"), defaultPictureFileName(), QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty() && !image.save(path, "PNG"))
        QMessageBox::warning(this, QStringLiteral("Lodrix"), say("Impossible d'écrire « %1 ».").arg(path));
}

void Tvitesse::showAbout()
{
    QMessageBox::about(
        this, say("À propos de Lodrix"),
        say("<p><b>Lodrix %1</b> : asservissement de position, correction numérique.</p>"
            "<p>Logiciel libre sous licence GNU GPL version 3 ou ultérieure.</p>"
            "<p>Les polices « MS Sans Serif » et « Symbol » sont les répliques de Wine "
            "(paquet Debian fonts-wine), sous licence GNU LGPL 2.1 ou ultérieure.</p>"
            "<p>Touches :<br>%2</p>")
            .arg(QCoreApplication::applicationVersion(), keysHelp().toHtmlEscaped().replace(u'\n', "<br>")));
}

} // namespace lodrix

#include "ui/widgets/MenuBarKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>

TMenuBarKeys::TMenuBarKeys(QMenuBar* bar) : QObject(bar), bar_(bar) {
    // The keys go to whichever control has the focus: the application sees them all first.
    qApp->installEventFilter(this);
}

void TMenuBarKeys::OpenFirstMenu() {
    if (!bar_->isVisible() || !bar_->isEnabled())
        return;
    for (QAction* top : bar_->actions()) {
        if (!top->isVisible() || !top->isEnabled() || top->isSeparator())
            continue;
        bar_->setActiveAction(top);
        if (QMenu* menu = top->menu())
            for (QAction* item : menu->actions())
                if (item->isVisible() && item->isEnabled() && !item->isSeparator()) {
                    menu->setActiveAction(item);
                    break;
                }
        return;
    }
}

bool TMenuBarKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::MouseButtonPress)
        return false;
    // Only keys meant for the bar's own window while nothing else holds the keyboard: an open
    // menu or a modal dialog has keys of its own.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != bar_->window() || QApplication::activePopupWidget() ||
        QApplication::activeModalWidget()) {
        altAlone_ = false;
        return false;
    }
    if (type == QEvent::MouseButtonPress) {
        altAlone_ = false;
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyPress) {
        if (key->key() == Qt::Key_Alt) {
            // Alt held down repeats its press: still alone.
            altAlone_ = key->isAutoRepeat() ? altAlone_
                                            : (key->modifiers() & ~Qt::AltModifier) == 0;
            return false;
        }
        altAlone_ = false;
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier) {
            OpenFirstMenu();
            return true;
        }
        return false;
    }
    // Released: a lone Alt opens the bar, unless the style does that itself.
    if (key->key() == Qt::Key_Alt && altAlone_ && !key->isAutoRepeat()) {
        altAlone_ = false;
        if (!bar_->style()->styleHint(QStyle::SH_MenuBar_AltKeyNavigation, nullptr, bar_))
            OpenFirstMenu();
    }
    return false;
}

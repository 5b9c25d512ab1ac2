#pragma once

#include <QObject>

class QMenuBar;

// Reaching a window's menu bar from the keyboard as on any desktop: F10, or Alt pressed and
// released on its own, opens the first menu of the bar with its first item highlighted; from
// there the menus' own keys work (arrows, Enter, Escape). This is navigation into the bar, not a
// shortcut: no menu item gets a key, and a style that already takes a lone Alt into the bar
// keeps doing so its own way.
class TMenuBarKeys : public QObject {
    Q_OBJECT
public:
    // Watches the keys of the bar's window for as long as the bar lives.
    explicit TMenuBarKeys(QMenuBar* bar);

    // Opens the first menu of the bar that can be opened, as F10 does.
    void OpenFirstMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenuBar* bar_;
    bool altAlone_ = false; // Alt is down and nothing else was pressed meanwhile
};

#include "ui/widgets/LinkLabel.h"

#include <QLineEdit>
#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    applyLook();
}

void TLinkLabel::NameAfter(QLineEdit* address, const QString& sentence) {
    auto rename = [this, sentence](const QString& text) {
        setAccessibleName(text.isEmpty() ? QString() : sentence.arg(text));
    };
    connect(address, &QLineEdit::textChanged, this, rename);
    rename(address->text());
}

void TLinkLabel::applyLook() {
    applying_ = true;
    // Only the active and inactive groups are coloured: the disabled group keeps the style's
    // grey, which is how a disabled link should look.
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, QColor(0, 0, 255));
    pal.setColor(QPalette::Inactive, QPalette::WindowText, QColor(0, 0, 255));
    setPalette(pal);
    // Set only the underline, so family and size still come from the window.
    if (!font().underline()) {
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
    }
    if (isEnabled())
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    applying_ = false;
}

void TLinkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (applying_)
        return;
    // A font or palette given later (for instance by a form file) must not lose the link look.
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
        applyLook();
        break;
    default:
        break;
    }
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled()) {
        pressed_ = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (wasPressed && isEnabled() && rect().contains(event->position().toPoint())) {
            event->accept();
            emit clicked();
            return;
        }
    }
    QLabel::mouseReleaseEvent(event);
}

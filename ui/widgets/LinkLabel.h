#pragma once

#include <QLabel>

class QLineEdit;

// A label that acts as a hyperlink: blue and underlined with a hand cursor while enabled, greyed
// like any disabled label otherwise. clicked() fires on a left-button release inside the label,
// when the press also started inside it.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit TLinkLabel(QWidget* parent = nullptr);

    // Names the label for a screen reader after what it opens, kept current as the address in
    // `address` changes: `sentence` with %1 for the address ("Send e-mail to %1"). While the
    // address is empty the label's own caption names it.
    void NameAfter(QLineEdit* address, const QString& sentence);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyLook();

    bool pressed_ = false;
    bool applying_ = false;
};

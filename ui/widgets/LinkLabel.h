#pragma once

#include <QLabel>

// A label that acts as a hyperlink: blue and underlined with a hand cursor while enabled, greyed
// like any disabled label otherwise. clicked() fires on a left-button release inside the label,
// when the press also started inside it.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit TLinkLabel(QWidget* parent = nullptr);

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

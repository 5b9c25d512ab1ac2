#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutBox;
}

// The About box: the program's logo, name, version and maker, with the maker's web site and
// e-mail address as links.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

public slots:
    // Fills the labels; runs every time the box is shown.
    void FormShow();
    void lblAuthorEmailClick();
    void lblAuthorWebsiteClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutBox> ui;
};

// The Help > About command: shows the box modally, without an owner, and destroys it afterwards.
void ShowAboutBox();

#include "ui/dialogs/About.h"

#include "storage/unitAppInformation.h"
#include "ui/dialogs/ShellOpen.h"
#include "ui/widgets/LinkLabel.h"
#include "ui_About.h"

#include <QPixmap>

// The logo lives in a resource compiled into a static library; without an explicit reference the
// linker would drop it.
static void LoadAboutResources() {
    Q_INIT_RESOURCE(about);
}

static QString Local(const std::string& text) {
    return QString::fromLocal8Bit(text);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui(new Ui::TAboutBox) {
    LoadAboutResources();
    // Where the Windows font is missing, a face with Arial's narrow metrics keeps the captions
    // from running into the links beside them.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(298, 241);
    ui->ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/about/logo.jpg")));
    connect(ui->lblAuthorEmail, &TLinkLabel::clicked, this, &TAboutBox::lblAuthorEmailClick);
    connect(ui->lblAuthorWebsite, &TLinkLabel::clicked, this, &TAboutBox::lblAuthorWebsiteClick);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    ui->lblAppName->setText(Local(AppFullTitle()));
    // The minor version carries its own leading point.
    ui->lblAppVersion->setText(QStringLiteral("Version ") + Local(AppMajorVersion()) +
                               Local(AppMinorVersion()));
    ui->lblAuthorName->setText(Local(AppMakerName()));
    ui->lblAuthorWebsite->setText(Local(AppMakerWebSite()));
    ui->lblAuthorEmail->setText(Local(AppMakerEmail()));
}

// The targets are built from the maker's details, not read back from the labels.
void TAboutBox::lblAuthorEmailClick() {
    TShellOpen::Open(QStringLiteral("mailto: ") + Local(AppMakerEmail()), TShellOpen::ShowNormal,
                     QStringLiteral("Unable to open the Email Composer!"), this);
}

void TAboutBox::lblAuthorWebsiteClick() {
    TShellOpen::Open(Local(AppMakerWebSite()) + QStringLiteral("/"), TShellOpen::ShowMaximized,
                     QStringLiteral("Unable to open the Web Browser!"), this);
}

void ShowAboutBox() {
    // The box is destroyed however the modal loop ends, also by an exception.
    std::unique_ptr<TAboutBox> box(new TAboutBox(nullptr));
    box->exec();
}

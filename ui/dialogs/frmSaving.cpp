#include "ui/dialogs/frmSaving.h"

#include "ui/widgets/WindowFont.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

TSavingForm* SavingForm = nullptr;

namespace {
int counter = 0;
constexpr int kTickMs = 10;
int tickInterval = kTickMs; // TBusyTicks::kManual: no timer ticks

// The busy indicator shows up for a screen reader as an alert, which screen readers announce as
// it appears, rather than as a dialog nobody moved to.
QAccessibleInterface* AlertAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TSavingForm") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::AlertMessage);
    return nullptr;
}

// Tells a screen reader of the indicator on screen. Its showing is told as it is shown; on a
// first start the accessibility bus may come up only while it stands, so it is told again then,
// once Qt's bridge, which is set up right after it turns accessibility on, can pass it on.
void Announce() {
    if (!SavingForm)
        return;
    QAccessibleEvent shown(SavingForm, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

class BusyAnnouncer : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override {
        if (active && SavingForm)
            QTimer::singleShot(0, SavingForm, &Announce);
    }
};

// What a screen reader says of the work behind a caption.
QString SpokenBusyName(const QString& caption) {
    static const struct {
        const char* caption;
        const char* spoken;
    } kSpoken[] = {{"Saving Contact Information...", "Saving"},
                   {"Deleting Contact Information...", "Deleting"},
                   {"Building DataBase...", "Building the address book"}};
    for (const auto& s : kSpoken)
        if (caption == QLatin1String(s.caption))
            return QString::fromLatin1(s.spoken);
    QString spoken = caption;
    while (spoken.endsWith(QLatin1Char('.')))
        spoken.chop(1);
    return spoken;
}
} // namespace

TSavingForm::TSavingForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName("SavingForm");
    setWindowTitle("SavingForm");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(296, 56);
    setFont(WindowFont("Tahoma", 8));
    setModal(false);

    prgbarSaving_ = new QProgressBar(this);
    prgbarSaving_->setObjectName("prgbarSaving");
    prgbarSaving_->setGeometry(8, 19, 280, 17);
    prgbarSaving_->setRange(0, 100);
    prgbarSaving_->setValue(0);
    prgbarSaving_->setTextVisible(false);

    tmrFrmSaving_ = new QTimer(this);
    tmrFrmSaving_->setObjectName("tmrFrmSaving");
    tmrFrmSaving_->setInterval(tickInterval == TBusyTicks::kManual ? kTickMs : tickInterval);
    connect(tmrFrmSaving_, &QTimer::timeout, this, &TSavingForm::tmrFrmSavingTimer);
    if (tickInterval != TBusyTicks::kManual)
        tmrFrmSaving_->start();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

TSavingForm::~TSavingForm() {
    if (SavingForm == this)
        SavingForm = nullptr;
}

void TSavingForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TSavingForm::FormShow() {
    counter = 0;
}

void TSavingForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit painted();
    }
}

void TSavingForm::WaitUntilPainted(int timeoutMs) {
    if (painted_)
        return;
    // On X11 the window is mapped and exposed only after show() has returned; painting it there
    // and then would paint nothing.
    const bool ticking = tmrFrmSaving_->isActive();
    tmrFrmSaving_->stop();
    QEventLoop loop;
    connect(this, &TSavingForm::painted, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (ticking)
        tmrFrmSaving_->start();
}

void TSavingForm::tmrFrmSavingTimer() {
    counter += 2;
    if (counter >= 100) {
        counter = 100;
        tmrFrmSaving_->stop();
        close();
    }
    prgbarSaving_->setValue(counter);
}

bool TSavingForm::FormCloseQuery() {
    return counter >= 50;
}

void TSavingForm::FormClose() {
    // Destruction follows when the event loop next runs (WA_DeleteOnClose); the pointer is
    // emptied now so that the next ShowBusy makes a fresh window.
    if (SavingForm == this)
        SavingForm = nullptr;
}

void TSavingForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
}

void TSavingForm::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Escape; this one has no way to be closed by the user.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ShowBusy(const QString& caption) {
    if (SavingForm)
        return;
    // The announcer watches for a screen reader as long as the application lives, and leaves
    // Qt's list of observers with it.
    static const bool factory = [] {
        QAccessible::installFactory(AlertAccessible);
        return true;
    }();
    Q_UNUSED(factory);
    static BusyAnnouncer announcer;
    static bool watching = false;
    if (!watching) {
        watching = true;
        QAccessible::installActivationObserver(&announcer);
        qAddPostRoutine([] {
            QAccessible::removeActivationObserver(&announcer);
            watching = false;
        });
    }
    SavingForm = new TSavingForm(nullptr);
    SavingForm->setWindowTitle(caption);
    const QString spoken = SpokenBusyName(caption);
    SavingForm->setAccessibleName(spoken);
    SavingForm->prgbarSaving()->setAccessibleName(spoken);
    SavingForm->show();
    SavingForm->WaitUntilPainted();
}

void CloseBusy() {
    if (SavingForm)
        SavingForm->close();
}

TBusyTicks::TBusyTicks(int intervalMs) : previous_(tickInterval) {
    tickInterval = intervalMs;
}

TBusyTicks::~TBusyTicks() {
    tickInterval = previous_;
}

void TBusyTicks::Advance(int ticks) {
    for (int i = 0; i < ticks && SavingForm; ++i)
        SavingForm->tmrFrmSavingTimer();
}

#pragma once

// Drives the real contact window the way a user does: by control names, clicks and keys.
// Header-only so that each form test executable can use it.

#include "storage/unitBuildData.h"
#include "tests/common/Boxes.h"
#include "tests/common/RawDb.h"
#include "tests/common/TestHome.h"
#include "ui/dialogs/ErrorDisplay.h"
#include "ui/dialogs/frmSaving.h"
#include "ui/widgets/LinkLabel.h"
#include "ui/widgets/MaskEdit.h"
#include "ui/widgets/NoteMemo.h"
#include "ui/window/CustomerListModel.h"
#include "ui/window/frmCustomers.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

class FormDriver {
    // The busy indicator ticks whenever the event loop is idle instead of every 10 ms, so that a
    // test waits for its end no longer than the work takes.
    TBusyTicks ticks_{0};

public:
    TestHome home;
    std::unique_ptr<TCustomersForm> form;

    explicit FormDriver(bool show = true) {
        PrepareDataFiles();
        if (show)
            Open();
    }
    ~FormDriver() {
        if (form)
            form->setAttribute(Qt::WA_DeleteOnClose, false);
        form.reset();
        // The indicator of the last save runs to its end at once; one still there with a full
        // bar has broken the close rule.
        TBusyTicks::Advance(50);
        if (SavingForm) {
            delete SavingForm;
            QTest::qFail("the busy indicator stayed on screen with a full bar", __FILE__,
                         __LINE__);
        }
    }

    void Open() {
        form = std::make_unique<TCustomersForm>();
        FailOnUnexpectedBoxes();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // From here on failures are shown in the error box, as inside the program's event loop.
        SetEventLoopRunning(true);
    }

    template <typename T = QWidget> T* W(const QString& name) const {
        T* w = form->findChild<T*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QLineEdit* Edit(const QString& name) const { return W<QLineEdit>(name); }
    TMaskEdit* Mask(const QString& name) const { return W<TMaskEdit>(name); }
    TNoteMemo* Note(const QString& name) const { return W<TNoteMemo>(name); }
    QAction* Action(const QString& name) const { return W<QAction>(name); }
    QComboBox* Combo() const { return W<QComboBox>("cmboCustSearch"); }
    QLineEdit* Search() const { return Edit("txtCustSearch"); }
    QTreeView* List() const { return W<QTreeView>("lstvCustomers"); }
    bool Enabled(const QString& name) const { return W(name)->isEnabled(); }
    bool ListMode() const {
        return W("pnlLstViewContacts")->isVisible() && !W("pnlContacts")->isVisible();
    }
    bool EditMode() const {
        return !W("pnlLstViewContacts")->isVisible() && W("pnlContacts")->isVisible();
    }
    QString Id() const { return W<QLabel>("lblCustId")->text(); }

    int Rows() const { return List()->model()->rowCount(); }
    QString Cell(int row, int column) const {
        return List()->model()->index(row, column).data().toString();
    }
    QStringList Companies() const {
        QStringList out;
        for (int r = 0; r < Rows(); ++r)
            out << Cell(r, TCustomerListModel::Company);
        return out;
    }
    int RowOfCompany(const QString& company) const {
        for (int r = 0; r < Rows(); ++r)
            if (Cell(r, TCustomerListModel::Company) == company)
                return r;
        return -1;
    }

    // A real mouse click on the row, as the user opens a contact.
    void ClickRow(int row) {
        QTreeView* list = List();
        const QModelIndex index = list->model()->index(row, TCustomerListModel::Company);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }
    void OpenCompany(const QString& company) {
        const int row = RowOfCompany(company);
        QVERIFY2(row >= 0, qPrintable(company));
        ClickRow(row);
    }

    void ChooseSearch(int index) {
        // As the user does: open nothing, just select with the keyboard and commit.
        QComboBox* combo = Combo();
        combo->setFocus();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    void Click(const QString& name) {
        QWidget* w = W(name);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            QTest::mouseClick(b, Qt::LeftButton);
            return;
        }
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    void Type(const QString& name, const QString& text) {
        QWidget* w = W(name);
        w->setFocus();
        QTest::keyClicks(w, text);
    }
    void Trigger(const QString& action) { Action(action)->trigger(); }

    // Runs SQL on the database file directly, as another program would.
    void Sql(const QString& statement) const {
        const QString error = RawDb(home.dbPath()).exec(statement);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    QString Value(int id, const QString& column) const {
        return RawDb(home.dbPath())
            .value(QString("SELECT %1 FROM Customers WHERE dbCustomer_ID=%2").arg(column).arg(id));
    }
    // The stored contact's 45 data columns by name.
    QMap<QString, QString> StoredRow(int id) const {
        QMap<QString, QString> row;
        for (const ContactField& f : LoadOrderFields())
            row[QString::fromStdString(f.column)] = Value(id, QString::fromStdString(f.column));
        return row;
    }
    int Count(const QString& where = "1") const {
        bool ok = false;
        const int n =
            RawDb(home.dbPath()).value("SELECT COUNT(*) FROM Customers WHERE " + where).toInt(&ok);
        return ok ? n : -1;
    }
};

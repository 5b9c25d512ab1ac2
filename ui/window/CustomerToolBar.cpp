#include "ui/window/CustomerToolBar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>

TCustomerToolBar::TCustomerToolBar(QToolBar* bar) {
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setStyleSheet("QToolBar#tlbarCustomers { border: none; background: qlineargradient(x1:0, "
                       "y1:0, x2:0, y2:1, stop:0 palette(light), stop:1 palette(button)); }");

    tlbarAddNewCust = new QToolButton(bar);
    tlbarAddNewCust->setObjectName("tlbarAddNewCust");
    tlbarAddNewCust->setText("Add New Contact");
    tlbarAddNewCust->setToolTip("Add a new contact to your list");
    tlbarAddNewCust->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tlbarAddNewCust->setFixedWidth(96);
    bar->addWidget(tlbarAddNewCust);

    lblCustSearch = new QLabel("    Search Contacts By:  ", bar);
    lblCustSearch->setObjectName("lblCustSearch");
    lblCustSearch->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    bar->addWidget(lblCustSearch);

    cmboCustSearch = new QComboBox(bar);
    cmboCustSearch->setObjectName("cmboCustSearch");
    cmboCustSearch->addItems({"All Contacts", "Company Name", "Last Name", "First Name"});
    cmboCustSearch->setEditable(false);
    cmboCustSearch->setToolTip("Search contact list by");
    cmboCustSearch->setFixedWidth(145);
    bar->addWidget(cmboCustSearch);

    Label1 = new QLabel("    ", bar);
    Label1->setObjectName("Label1");
    bar->addWidget(Label1);

    txtCustSearch = new QLineEdit(bar);
    txtCustSearch->setObjectName("txtCustSearch");
    txtCustSearch->setMaxLength(25);
    txtCustSearch->setToolTip("Enter contact information to search by");
    txtCustSearch->setFixedWidth(121);
    bar->addWidget(txtCustSearch);

    // The style may give tool bar controls a font of their own; they belong to the window's.
    for (QWidget* w : std::initializer_list<QWidget*>{tlbarAddNewCust, lblCustSearch,
                                                      cmboCustSearch, Label1, txtCustSearch})
        w->setFont(bar->window()->font());
}

#pragma once

class QComboBox;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;

// The controls on the contact window's tool bar, left to right: "Add New Contact", the search
// kind with its caption, a spacer, and the search text.
struct TCustomerToolBar {
    explicit TCustomerToolBar(QToolBar* bar);

    QToolButton* tlbarAddNewCust;
    QLabel* lblCustSearch;
    QComboBox* cmboCustSearch;
    QLabel* Label1;
    QLineEdit* txtCustSearch;
};

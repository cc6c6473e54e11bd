// Helpers of the window tests.
#include "tests/ui/ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

CModalCloser::CModalCloser(std::function<void(QWidget*)> fnBeforeClose)
    : m_fnBeforeClose(std::move(fnBeforeClose)) {
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &CModalCloser::Poll);
    m_timer.start();
}

void CModalCloser::Poll() {
    QWidget* pModal = QApplication::activeModalWidget();
    if (pModal == nullptr || !pModal->isVisible()) {
        return;
    }
    CClosedModal closed;
    closed.strClass = QString::fromUtf8(pModal->metaObject()->className());
    closed.strCaption = pModal->windowTitle();
    closed.bApplicationModal = pModal->windowModality() == Qt::ApplicationModal;
    if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
        closed.strText = pBox->text();
        closed.nIcon = pBox->icon();
        for (QAbstractButton* pButton : pBox->buttons()) {
            closed.buttons.push_back(pButton->text());
        }
    }
    m_closed.push_back(closed);
    if (m_fnBeforeClose) {
        m_fnBeforeClose(pModal);
    }
    // The look may have closed it already (a shutdown, say).
    if (!pModal->isVisible()) {
        return;
    }
    if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
        if (QAbstractButton* pOk = pBox->button(QMessageBox::Ok)) {
            pOk->click();
            return;
        }
    }
    if (auto* pDialog = qobject_cast<QDialog*>(pModal)) {
        pDialog->accept();
    } else {
        pModal->close();
    }
}

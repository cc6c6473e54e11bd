// The about box: the program icon, "corvina Version" and the version, and OK.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* pParent = nullptr);

    QLabel* GetIconLabel() const { return m_pIcon; }
    QLabel* GetTextLabel() const { return m_pText; }
    QPushButton* GetOkButton() const { return m_pOk; }

  private:
    QLabel* m_pIcon;
    QLabel* m_pText;
    QPushButton* m_pOk;
};

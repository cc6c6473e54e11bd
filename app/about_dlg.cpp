// The about box, laid out in dialog units of its font as its resource gives
// them: 217 by 145 units, the icon at 11,17, the text at 40,10, OK at 178,7.
#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "resources/command_table.h"
#include "ui/program_icon.h"

namespace {

// A dialog unit is a quarter of the font's average character width across
// and an eighth of its height down.
struct CDialogUnits {
    explicit CDialogUnits(const QFontMetrics& metrics)
        : m_nBaseX((metrics.horizontalAdvance(
                        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                        26 +
                    1) /
                   2),
          m_nBaseY(metrics.height()) {}
    QRect Rect(int nX, int nY, int nWidth, int nHeight) const {
        return {X(nX), Y(nY), X(nWidth), Y(nHeight)};
    }
    int X(int nUnits) const { return nUnits * m_nBaseX / 4; }
    int Y(int nUnits) const { return nUnits * m_nBaseY / 8; }

    int m_nBaseX;
    int m_nBaseY;
};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_pIcon(new QLabel(this)),
      m_pText(new QLabel(QString::fromUtf8(kAboutText), this)),
      m_pOk(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setModal(true);
    const CDialogUnits units(fontMetrics());

    const QRect iconRect = units.Rect(11, 17, 18, 20);
    const int nIconSize = std::min(32, std::min(iconRect.width(), iconRect.height()) + 8);
    m_pIcon->setPixmap(GetProgramIcon().pixmap(nIconSize, nIconSize));
    m_pIcon->setGeometry(iconRect.x(), iconRect.y(), nIconSize, nIconSize);

    // Shown as it stands: no '&' mnemonics, no markup.
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setGeometry(units.Rect(40, 10, 119, 8).adjusted(0, 0, 0, 4));

    m_pOk->setGeometry(units.Rect(178, 7, 32, 14));
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.X(217), units.Y(145));
}

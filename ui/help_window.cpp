// The help window.
#include "ui/help_window.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "resources/command_table.h"

namespace {

// "&Playback\tCtrl+P" becomes "Playback".
QString PlainMenuText(const char* pszMenuText) {
    QString strText = QString::fromUtf8(pszMenuText);
    strText = strText.left(strText.indexOf('\t') < 0 ? strText.size() : strText.indexOf('\t'));
    strText.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    strText.remove('&');
    strText.replace(QChar(1), '&');
    return strText;
}

// The keys that really give the command, which need not be those a menu
// text shows.
QString KeysOf(int nID) {
    QStringList keys;
    for (const CAccelerator& accelerator : GetAccelerators()) {
        if (accelerator.nID == nID) {
            keys << QString::fromUtf8(accelerator.pszKeys);
        }
    }
    return keys.join(QStringLiteral(", "));
}

QString Row(const QString& strName, const QString& strKeys, const QString& strPrompt) {
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>\n")
        .arg(strName.toHtmlEscaped(), strKeys.toHtmlEscaped(), strPrompt.toHtmlEscaped());
}

}  // namespace

QString BuildHelpHtml() {
    QString strHtml;
    QFile intro(QStringLiteral(":/help.html"));
    if (intro.open(QIODevice::ReadOnly)) {
        strHtml = QString::fromUtf8(intro.readAll());
    }
    const QString strHeader = QStringLiteral(
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\">\n"
        "<tr><th align=\"left\">Command</th><th align=\"left\">Keys</th>"
        "<th align=\"left\">What it does</th></tr>\n");
    for (const CMenuInfo& menu : GetMenus()) {
        strHtml += QStringLiteral("<h3>%1 menu</h3>\n").arg(PlainMenuText(menu.pszTitle));
        strHtml += strHeader;
        for (int nID : menu.items) {
            const CCommandInfo* pCommand = nID != 0 ? FindCommand(nID) : nullptr;
            // The tracks' items are one row.
            if (pCommand == nullptr || pCommand->pszMenuText == nullptr ||
                (nID > ID_AUDIO_TRACK_1 && nID <= ID_AUDIO_TRACK_8)) {
                continue;
            }
            QString strName = PlainMenuText(pCommand->pszMenuText);
            if (nID == ID_FILE_MRU_FILE1) {
                strName = QStringLiteral("1 to 4 (the recent files)");
            } else if (nID == ID_AUDIO_TRACK_1) {
                strName = QStringLiteral(
                    "Track 1 to 8 (the file's audio tracks, where it has "
                    "several)");
            }
            strHtml += Row(strName, KeysOf(nID),
                           QString::fromUtf8(std::string(StatusPrompt(*pCommand)).c_str()));
        }
        strHtml += QStringLiteral("</table>\n");
    }
    strHtml += QStringLiteral("<h3>Other keys</h3>\n") + strHeader;
    for (int nID : {ID_PLAY_PLAY_PAUSE, ID_HELP, ID_CONTEXT_HELP}) {
        const CCommandInfo* pCommand = FindCommand(nID);
        QString strName = QStringLiteral("Help");
        QString strPrompt = QStringLiteral("Show this window");
        if (nID != ID_HELP) {
            strName =
                nID == ID_CONTEXT_HELP
                    ? QStringLiteral("Context Help")
                    : QString::fromUtf8(TooltipText(*pCommand).data(),
                                        static_cast<qsizetype>(TooltipText(*pCommand).size()));
            strPrompt = QString::fromUtf8(std::string(StatusPrompt(*pCommand)).c_str());
        }
        strHtml += Row(strName, KeysOf(nID), strPrompt);
    }
    strHtml += QStringLiteral("</table>\n");
    return strHtml;
}

CHelpWindow::CHelpWindow(QWidget* pParent) : QDialog(pParent), m_pBrowser(new QTextBrowser(this)) {
    setWindowTitle(QString::fromUtf8(kHelpCaption));
    setModal(false);
    m_pBrowser->setOpenLinks(false);
    m_pBrowser->setHtml(BuildHelpHtml());
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pBrowser);
    resize(560, 520);
}

// The installed desktop entry, read from the copy built into the program.
#include "ui/desktop_entry.h"

#include <QFile>
#include <sstream>

#include "resources/command_table.h"

std::vector<std::string> GetHandledMimeTypes() {
    QFile file(QStringLiteral(":/%1.desktop").arg(QString::fromUtf8(kDesktopId)));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    std::istringstream in(file.readAll().toStdString());
    std::vector<std::string> types;
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (strLine.rfind("MimeType=", 0) != 0) {
            continue;
        }
        std::istringstream list(strLine.substr(9));
        std::string strType;
        while (std::getline(list, strType, ';')) {
            if (!strType.empty()) {
                types.push_back(strType);
            }
        }
    }
    return types;
}

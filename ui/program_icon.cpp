// The program icon.
#include "ui/program_icon.h"

QIcon GetProgramIcon() {
    QIcon icon;
    for (int nSize : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/corvina-%1.png").arg(nSize), QSize(nSize, nSize));
    }
    return icon;
}

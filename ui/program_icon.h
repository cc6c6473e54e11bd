// The program icon in all its sizes.
#pragma once

#include <QIcon>

QIcon GetProgramIcon();

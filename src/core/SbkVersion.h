#pragma once

#include <QString>

// The program's name and version.
class SbkVersion {
public:
    // "SBK 1.2": the name and version as every caption and document shows them.
    static QString title();
};

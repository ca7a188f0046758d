#pragma once

#include <QString>

// Whether the program runs from the folder it was built in. The build writes a marker file beside
// the programs it builds, and installing copies only the programs, so a program that finds the
// marker beside itself runs from its build tree. Such a run keeps its default database and its
// settings beside the programs; an installed one keeps them in the user's folders.
class BuildTree {
public:
    // The marker's name; the build writes it beside sbk and sbk-cli.
    static inline const QString MarkerName = QStringLiteral("SBK-BUILD-TREE");

    // The folder of the running program when the marker lies beside it, else "".
    static QString folder();
};

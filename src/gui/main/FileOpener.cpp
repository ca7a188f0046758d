#include "gui/main/FileOpener.h"

#include "core/ArchiveReader.h"
#include "core/InputFile.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/interchange/frmBckpRstr.h"
#include "gui/interchange/frmSSFImport.h"
#include "gui/main/WindowOpener.h"
#include "gui/sty/frmStyImport.h"
#include "interchange/PddBackup.h"
#include "interchange/SsfFile.h"
#include "session/SBKModule.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

// Every STY file, of either directory layout, carries its container's name at this offset.
constexpr qsizetype KorfOffset = 23;

} // namespace

FileOpener::Kind FileOpener::kindOf(const QString& path) {
    QFile file;
    InputFile::open(file, path);
    const QByteArray head = file.read(512);
    if (head.mid(KorfOffset, 4) == QByteArrayLiteral("KORF"))
        return Kind::Sty;
    if (head.startsWith(SsfFile::Signature))
        return Kind::Ssf;
    if (head.startsWith(PddBackup::Header))
        return Kind::Pdd;
    if (ArchiveReader::looksLikeArchive(head) || ArchiveReader::isArchiveName(path))
        return Kind::Archive;
    const QString suffix = QFileInfo(path).suffix().toUpper();
    if (suffix == QStringLiteral("STY"))
        return Kind::Sty;
    if (suffix == QStringLiteral("SSF"))
        return Kind::Ssf;
    if (suffix == QStringLiteral("PDD"))
        return Kind::Pdd;
    return Kind::Unknown;
}

QString FileOpener::absolutePath(const QString& given) {
    return QFileInfo(given.startsWith(QStringLiteral("file:")) ? QUrl(given).toLocalFile() : given)
        .absoluteFilePath();
}

void FileOpener::open(SBKModule& module, Prompt& prompt, const QStringList& paths, QWidget* parent) {
    for (const QString& given : paths) {
        const QString path = absolutePath(given);
        Kind kind = Kind::Unknown;
        try {
            kind = kindOf(path);
        } catch (const SbkError& e) {
            prompt.message(e.message(), Prompt::Title, Prompt::Icon::Exclamation);
            continue;
        }
        switch (kind) {
        case Kind::Sty:
        case Kind::Archive: {
            module.ImportMode = 1; // one file
            frmStyImport window(module, prompt, parent);
            window.setPath(path);
            WindowOpener::exec(window);
            break;
        }
        case Kind::Ssf: {
            frmSSFImport window(module, prompt, parent);
            window.setFile(path);
            WindowOpener::exec(window);
            break;
        }
        case Kind::Pdd: {
            frmBckpRstr window(module, prompt, parent);
            window.setRestoreFile(path);
            WindowOpener::exec(window);
            break;
        }
        case Kind::Unknown:
            prompt.message(
                QStringLiteral("%1 is not an STY, SSF or PDD file, nor an archive of STY files; SBK "
                               "cannot open it.")
                    .arg(path),
                Prompt::Title, Prompt::Icon::Exclamation);
            break;
        }
    }
}

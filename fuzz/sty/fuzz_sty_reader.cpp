// libFuzzer target of the STY reader, both directory layouts: any bytes must end as a result or an
// SbkError; a bank that was read must come back unchanged when written in either layout and read
// again, and writing what was read back must give the same bytes again.
#include "core/SbkError.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"

#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Writes the styles in the layout, reads them back and checks blocks, lengths and numbering;
// returns the bytes written.
QByteArray writeAndReadBack(const KORFStyles& styles, KORFLibrary::Layout layout, KORFStyles& back) {
    KORFLibrary::WriteOptions options;
    options.layout = layout;
    options.userBank = 0x11;
    options.writeTime = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    const QByteArray bytes = KORFLibrary::encodeCollection(styles, options);
    KORFLibrary again;
    again.FillCollectionFromBytes(bytes, QStringLiteral("AGAIN.STY"), back);
    require(again.RetVal() == 0 && again.ReadLayout() == layout && back.Count() == styles.Count());
    for (int i = 1; i <= styles.Count(); ++i) {
        const KORFStyle& a = *styles.Item(i);
        const KORFStyle& b = *back.Item(i);
        require(a.StyleContent1() == b.StyleContent1() && a.StyleContent2() == b.StyleContent2() &&
                a.StyleLength1() == b.StyleLength1() && a.StyleLength2() == b.StyleLength2() &&
                b.StyleProg() == i);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    KORFLibrary library;
    KORFStyles styles;
    try {
        library.FillCollectionFromBytes(bytes, QStringLiteral("FUZZ.STY"), styles);
    } catch (const SbkError&) {
        require(library.RetVal() == -1 && styles.Count() == 0);
        return 0;
    }
    require(library.RetVal() >= 0 && library.RetVal() <= 5);
    if (library.RetVal() != 0)
        return 0;

    for (const KORFLibrary::Layout layout : {KORFLibrary::Layout::Older, KORFLibrary::Layout::Newer}) {
        KORFStyles back;
        const QByteArray written = writeAndReadBack(styles, layout, back);
        KORFStyles twice;
        require(writeAndReadBack(back, layout, twice) == written);
    }
    return 0;
}

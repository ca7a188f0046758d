// libFuzzer target of the STY reader: any bytes must end as a result or an SbkError, and a bank
// that was read must come back unchanged when written and read again.
#include "core/SbkError.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    KORFLibrary library;
    KORFStyles styles;
    try {
        library.FillCollectionFromBytes(bytes, QStringLiteral("FUZZ.STY"), styles);
    } catch (const SbkError&) {
        if (library.RetVal() != -1 || styles.Count() != 0)
            std::abort();
        return 0;
    }
    if (library.RetVal() < 0 || library.RetVal() > 6)
        std::abort();
    if (library.RetVal() != 0)
        return 0;

    KORFLibrary again;
    KORFStyles back;
    again.FillCollectionFromBytes(KORFLibrary::encodeCollection(styles, 17), QStringLiteral("AGAIN.STY"),
                                  back);
    if (again.RetVal() != 0 || back.Count() != styles.Count())
        std::abort();
    for (int i = 1; i <= styles.Count(); ++i) {
        const KORFStyle& a = *styles.Item(i);
        const KORFStyle& b = *back.Item(i);
        if (a.StyleContent1() != b.StyleContent1() || a.StyleContent2() != b.StyleContent2() ||
            a.StyleLength1() != b.StyleLength1() || a.StyleLength2() != b.StyleLength2() ||
            b.StyleProg() != i)
            std::abort();
    }
    return 0;
}
